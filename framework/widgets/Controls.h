#pragma once

#include "core/RecordSet.h"

#include <QLineEdit>
#include <QToolButton>
#include <functional>

namespace fw {

// A masked edit takes what is typed after a click or a Tab into it: the
// cursor goes to the first free position when it would land past it (a
// full field keeps Qt's own behaviour, so that typing overwrites).
void caretToFirstFree(QLineEdit* edit);

// A date edit: dd/MM/yyyy under the mask "99/99/9999; ", blank allowed,
// strictly validated (31/02/2024 is no date).
class TDateEditPlus : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr, const QString& name = {});
    // Days since 1899-12-30; 0 when blank or not a valid date.
    double GetDate() const;
    // 0 blanks the edit.
    void SetDate(double days);
    // True when the text is a valid date (blank is not a date).
    bool IsDateValid() const;
    bool isBlank() const;
};

// A number edit in the pt_BR notation ("1.234,50").
class TNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr, const QString& name = {});
    int decimals = 2;
    // 0 when blank; throws fw::Error when the text is no number.
    double GetNumber() const;
    void SetNumber(double v);
};

// A flat button; as a toggle it stays down. Buttons with the same group
// index under one parent are exclusive; with AllowAllUp a down button may be
// released by a click.
class TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr, const QString& name = {});
    int GroupIndex = 0;
    bool AllowAllUp = false;
    bool Down() const { return isChecked(); }
    void SetDown(bool down);

protected:
    void nextCheckState() override;
};

// A search button tied to an edit: fires OnBeforePesq, opens the single
// picker on DataSource with Title and, after a pick, fires OnAfterPesq. F9 in
// the associated edit clicks it.
class TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr, const QString& name = {});
    void setAssociate(QWidget* edit);
    QString Title;
    DataSource* dataSource = nullptr;
    bool EmptyError = true;
    std::function<void()> OnBeforePesq;
    std::function<void()> OnAfterPesq;

    // Runs the search; true when a record was picked.
    bool execute();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QWidget* m_associate = nullptr;
};

// A row of commands that never makes its window wider: when the row is
// narrower than its commands with their captions, its tool buttons show only
// their icons (the caption stays as tool tip and accessible name).
class TCompactRow : public QWidget {
    Q_OBJECT
public:
    explicit TCompactRow(QWidget* parent = nullptr, const QString& name = {});
    QSize minimumSizeHint() const override;
    bool compact() const { return m_compact; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void setCompact(bool on);
    bool m_compact = false;
    int m_fullWidth = 0; // the row's width with every caption shown
};

} // namespace fw
