#pragma once

#include "Controls.h"
#include "core/Messages.h"
#include "core/RecordSet.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <functional>

class QHBoxLayout;
class QVBoxLayout;

namespace fw {

// The filter dialog every module dialog derives from: a box for the
// criteria, confirm and cancel, and the user's saved options (name=value
// pairs, one set per operator and screen code). A derived dialog builds its
// controls in its constructor and then calls its FormCreate.
class TfrmFiltroPadrao : public QDialog {
    Q_OBJECT
public:
    TfrmFiltroPadrao(QWidget* parent, const QString& screenCode, const QString& caption);
    ~TfrmFiltroPadrao() override;

    QString screenCode() const { return m_code; }
    // The help page F1 opens.
    int HelpContext = 0;

    QGroupBox* grbFiltroPadrao;
    QPushButton* sbtConfirma;
    QPushButton* sbtCancel;
    TButtonFlat* btfSaveOpc;
    TButtonFlat* btfLoadOpc;
    QLabel* lblOpcoes; // says when saved options were loaded
    QLabel* lblCodTela;
    RecordSet cdsCarregaOpcoes; // NMOPCAO, VLOPCAO of the saved set
    TMessages msgPadrao;

    // The options list: "name=value" entries.
    QStringList Opcoes;
    QString opcao(const QString& name) const;
    // An empty value removes the entry.
    void setOpcao(const QString& name, const QString& value);

    // The activation handler; a dialog may detach it (set it empty) while
    // its own busy panel or picker takes the activation.
    std::function<void()> OnActivate;

    virtual void FormCreate();
    virtual void FormClose();
    virtual void FormActivate() {}
    virtual void sbtConfirmaClick() {}
    virtual void sbtCancelClick();
    virtual void btfSaveOpcClick();
    virtual void btfLoadOpcClick();

    // The settings group of this operator's and screen's saved options.
    QString optionsGroup() const;

    void reject() override;
    void done(int r) override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

    QVBoxLayout* rootLayout;
    QVBoxLayout* criteriaLayout; // inside grbFiltroPadrao
    QScrollArea* scrCriterios;   // holds grbFiltroPadrao
    QHBoxLayout* buttonLayout;

private:
    QString m_code;
    bool m_shownOnce = false;
    bool m_lostToOwnModal = false;
    bool m_closed = false;
};

} // namespace fw
