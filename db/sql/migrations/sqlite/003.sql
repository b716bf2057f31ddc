-- Version 3: operators can be disabled; a disabled one signs in no more and
-- his sessions are refused.
ALTER TABLE OPERADOR ADD IDATIVO CHAR(1) DEFAULT 'S' NOT NULL;
