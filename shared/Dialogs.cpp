#include "Dialogs.h"

#include "core/Consiste.h"
#include "core/Messages.h"
#include "widgets/Controls.h"
#include "widgets/Events.h"

void checkTypedDate(fw::TDateEditPlus* edit, const fw::TMessages& catalogue)
{
    if (fw::EmptyString(edit->text()))
        return;
    if (edit->IsDateValid() && edit->GetDate() > 0)
        return;
    fw::focusBack(edit);
    fw::MensErro(QLatin1Char('\'') + edit->text() + QStringLiteral("' ") + catalogue.Msg(QStringLiteral("DATA_INV")), true);
}
