#pragma once

#include "core/Context.h"

class QWidget;

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
