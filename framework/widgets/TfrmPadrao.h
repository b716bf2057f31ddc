#pragma once

#include "Controls.h"
#include "DataGrid.h"
#include "Navigator.h"
#include "core/Messages.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QWidget>
#include <vector>

class QHBoxLayout;
class QVBoxLayout;
class QPrinter;

namespace fw {

// The maintenance screen every module screen derives from: a list page with
// the grid on dtsPadrao and a form page, the standard commands with their
// menu twins, a navigator and the screen code. A derived screen builds its
// controls in its constructor and then calls its FormCreate, which runs
// this one first.
class TfrmPadrao : public QWidget {
    Q_OBJECT
public:
    TfrmPadrao(QWidget* parent, const QString& screenCode, const QString& caption);
    ~TfrmPadrao() override;

    QString screenCode() const { return m_code; }
    int HelpContext = 0;

    // Controls.
    QMenuBar* menuBar;
    QMenu* mnuManutencao;
    QMenu* mnuExibir;
    QAction* mnuFolhaDados;
    QAction* mnuFormulario;
    QAction *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuConfirmar, *mnuCancelar, *mnuProcurar, *mnuImprimir,
        *mnuAjuda, *mnuFechar;
    QToolButton *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtConfirmar, *sbtCancelar, *sbtProcurar, *sbtImprimir,
        *sbtAjuda, *sbtFechar;
    TDBNavigator* dbnPadrao;
    QLabel* lblCodTela;
    QTabWidget* pgcPadrao;
    QWidget* tshFolhaDados;
    QWidget* tshFormulario;
    TDBGrid* dbgPadrao;
    QStatusBar* stbPadrao; // what the screen lists, or what to do first
    DataSource dtsPadrao;
    TMessages msgPadrao;

    // Handlers a derived screen overrides and calls.
    virtual void FormCreate();
    virtual void FormClose();
    virtual void FormActivate() {}
    virtual void pgcPadraoChange();
    virtual void dtsPadraoStateChange();
    virtual void mnuFolhaDadosClick();
    virtual void mnuFormularioClick();
    virtual void sbtIncluirClick();
    virtual void sbtAlterarClick();
    virtual void sbtExcluirClick();
    virtual void sbtConfirmarClick();
    virtual void sbtCancelarClick();
    virtual void sbtProcurarClick();
    virtual void sbtImprimirClick();
    virtual void sbtAjudaClick();
    virtual void sbtFecharClick();

    // The grid the print command prints: the focused grid of the current
    // page, else its first one.
    TDBGrid* printGrid() const;
    // Renders the grid to a printer (or a PDF file) as the print preview does.
    void printTo(QPrinter& printer, TDBGrid& grid) const;

    // The question before deleting the current record; a screen names what
    // it deletes.
    virtual QString deleteQuestion();

    // The record sets whose line being typed a close must not lose.
    virtual std::vector<RecordSet*> pendingSets();
    // Asks, for each line being typed, whether to store it, discard it or
    // stay; true when the screen may close.
    bool askBeforeClose();

    // Copies the enabling of each menu twin to its button.
    void copyMenusToButtons();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

    QVBoxLayout* rootLayout;
    TCompactRow* panBotoes;
    QHBoxLayout* toolLayout;   // standard buttons; derived screens add theirs
    QVBoxLayout* listLayout;   // the list page
    QVBoxLayout* formLayout;   // the form page

private:
    QToolButton* addButton(const QString& name, const QString& text, const QString& tip,
                           void (TfrmPadrao::*handler)());
    QAction* addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key,
                       void (TfrmPadrao::*handler)());
    QString m_code;
    bool m_activated = false;
    bool m_firstActivationDone = false;
    bool m_lostToOwnModal = false;
    bool m_closing = false;
};

} // namespace fw
