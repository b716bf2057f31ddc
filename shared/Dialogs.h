#pragma once

#include "core/Context.h"

class QWidget;
namespace fw {
class TDateEditPlus;
class TMessages;
} // namespace fw

// A typed date that is not a date: "'<text as shown>' não é uma data
// válida." (the catalogue's DATA_INV), the focus back on the edit, abort.
// A blank edit passes.
void checkTypedDate(fw::TDateEditPlus* edit, const fw::TMessages& catalogue);

// Runs one of the module's dialogs: created when its unit's flag says there
// is none, shown modally, then released, since a closed dialog is never
// reused. The dialog is deleted later, so the caller may still read it.
template <typename Dialog>
Dialog& RunUnitDialog(Dialog*& instance, bool& created, QWidget* parent)
{
    if (!created) {
        // the hourglass covers the creation, not the user's time in the dialog
        fw::CursorGuard cursor;
        instance = new Dialog(parent);
        instance->FormCreate();
        created = true;
    }
    Dialog* dlg = instance;
    fw::ctx().ui().execModal(dlg);
    instance = nullptr;
    created = false;
    dlg->deleteLater();
    return *dlg;
}
