#include "TfrmFiltroPadrao.h"

#include "Mdi.h"

#include <QKeyEvent>

#include "Events.h"
#include "core/Context.h"
#include "core/FwError.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QSettings>
#include <QTime>
#include <QVBoxLayout>

namespace fw {

namespace {

// Asks for room for all the criteria; scrolls only when it gets less.
class CriteriaArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        return widget() ? widget()->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth()) : QScrollArea::sizeHint();
    }
};

} // namespace

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget* parent, const QString& screenCode, const QString& caption)
    : QDialog(parent), cdsCarregaOpcoes(QStringLiteral("cdsCarregaOpcoes")), msgPadrao(QStringList{}), m_code(screenCode)
{
    setObjectName(QStringLiteral("frmFiltroPadrao"));
    setWindowTitle(caption);
    FocusTracker::markForm(this);
    OnActivate = [this] { FormActivate(); };
    rootLayout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    lblCodTela = new QLabel(screenCode, this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAccessibleName(QStringLiteral("Código da tela"));
    top->addWidget(lblCodTela);
    rootLayout->addLayout(top);
    grbFiltroPadrao = new QGroupBox(this);
    grbFiltroPadrao->setObjectName(QStringLiteral("grbFiltroPadrao"));
    criteriaLayout = new QVBoxLayout(grbFiltroPadrao);
    // On a desktop smaller than the dialog the criteria scroll instead of
    // being cut off.
    scrCriterios = new CriteriaArea(this);
    scrCriterios->setObjectName(QStringLiteral("scrCriterios"));
    scrCriterios->setFrameShape(QFrame::NoFrame);
    scrCriterios->setWidgetResizable(true);
    scrCriterios->setWidget(grbFiltroPadrao);
    rootLayout->addWidget(scrCriterios, 1);

    buttonLayout = new QHBoxLayout;
    btfSaveOpc = new TButtonFlat(this, QStringLiteral("btfSaveOpc"));
    btfSaveOpc->setText(QStringLiteral("&Salvar opções"));
    btfSaveOpc->setAccessibleName(QStringLiteral("Salvar opções"));
    btfLoadOpc = new TButtonFlat(this, QStringLiteral("btfLoadOpc"));
    btfLoadOpc->setText(QStringLiteral("C&arregar opções"));
    btfLoadOpc->setAccessibleName(QStringLiteral("Carregar opções"));
    lblOpcoes = new QLabel(this);
    lblOpcoes->setObjectName(QStringLiteral("lblOpcoes"));
    buttonLayout->addWidget(btfSaveOpc);
    buttonLayout->addWidget(btfLoadOpc);
    buttonLayout->addWidget(lblOpcoes);
    buttonLayout->addStretch(1);
    sbtConfirma = new QPushButton(QStringLiteral("&Confirmar"), this);
    sbtConfirma->setObjectName(QStringLiteral("sbtConfirma"));
    sbtConfirma->setDefault(true);
    // A click leaves the focus where the user was typing, as Enter does:
    // the checks of a confirm start from the control being edited.
    sbtConfirma->setFocusPolicy(Qt::TabFocus);
    sbtCancel = new QPushButton(QStringLiteral("Ca&ncelar"), this);
    sbtCancel->setObjectName(QStringLiteral("sbtCancel"));
    buttonLayout->addWidget(sbtConfirma);
    buttonLayout->addWidget(sbtCancel);
    rootLayout->addLayout(buttonLayout);

    connect(sbtConfirma, &QPushButton::clicked, this, [this] { guarded([this] { sbtConfirmaClick(); }); });
    connect(sbtCancel, &QPushButton::clicked, this, [this] { guarded([this] { sbtCancelClick(); }); });
    connect(btfSaveOpc, &QToolButton::clicked, this, [this] { guarded([this] { btfSaveOpcClick(); }); });
    connect(btfLoadOpc, &QToolButton::clicked, this, [this] { guarded([this] { btfLoadOpcClick(); }); });

    cdsCarregaOpcoes.addField(QStringLiteral("NMOPCAO"), FieldType::String, 50).displayLabel = QStringLiteral("Opção");
    cdsCarregaOpcoes.addField(QStringLiteral("VLOPCAO"), FieldType::String, 4000).displayLabel = QStringLiteral("Valor");
}

TfrmFiltroPadrao::~TfrmFiltroPadrao() = default;

void TfrmFiltroPadrao::FormCreate()
{
    lblCodTela->setText(m_code);
    Opcoes.clear();
}

void TfrmFiltroPadrao::FormClose() {}

QString TfrmFiltroPadrao::opcao(const QString& name) const
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString& e : Opcoes)
        if (e.startsWith(prefix))
            return e.mid(prefix.size());
    return {};
}

void TfrmFiltroPadrao::setOpcao(const QString& name, const QString& value)
{
    const QString prefix = name + QLatin1Char('=');
    for (qsizetype i = 0; i < Opcoes.size(); ++i) {
        if (Opcoes[i].startsWith(prefix)) {
            if (value.isEmpty())
                Opcoes.removeAt(i);
            else
                Opcoes[i] = prefix + value;
            return;
        }
    }
    if (!value.isEmpty())
        Opcoes << prefix + value;
}

QString TfrmFiltroPadrao::optionsGroup() const
{
    return QStringLiteral("OpcoesUsuario/%1/%2").arg(Operador().isEmpty() ? QStringLiteral("_") : Operador(), m_code);
}

void TfrmFiltroPadrao::btfSaveOpcClick()
{
    QSettings s;
    s.beginGroup(optionsGroup());
    s.setValue(QStringLiteral("itens"), Opcoes);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        throw Error(QStringLiteral("Não foi possível salvar as opções (%1).").arg(s.fileName()));
    msgPadrao.ShowMsg(QStringLiteral("Opc_Salvas"), MsgType::Information, Buttons::Ok);
}

void TfrmFiltroPadrao::btfLoadOpcClick()
{
    QSettings s;
    s.beginGroup(optionsGroup());
    if (!s.contains(QStringLiteral("itens"))) {
        msgPadrao.ShowMsg(QStringLiteral("Opc_Vazias"), MsgType::Information, Buttons::Ok);
        return;
    }
    Opcoes = s.value(QStringLiteral("itens")).toStringList();
    cdsCarregaOpcoes.close();
    cdsCarregaOpcoes.createDataSet();
    for (const QString& e : Opcoes) {
        const qsizetype eq = e.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        cdsCarregaOpcoes.append();
        cdsCarregaOpcoes.fieldByName(u"NMOPCAO").setValue(e.left(eq));
        cdsCarregaOpcoes.fieldByName(u"VLOPCAO").setValue(e.mid(eq + 1));
        cdsCarregaOpcoes.post();
    }
    cdsCarregaOpcoes.mergeChangeLog();
    // the criteria change without a word otherwise
    lblOpcoes->setText(QStringLiteral("Opções carregadas às %1.").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void TfrmFiltroPadrao::sbtCancelClick()
{
    QDialog::reject();
}

void TfrmFiltroPadrao::reject()
{
    // Esc and the window's close button cancel as the cancel button does.
    guarded([this] { sbtCancelClick(); });
}

void TfrmFiltroPadrao::done(int r)
{
    QDialog::done(r);
    if (!m_closed) {
        m_closed = true;
        guarded([this] { FormClose(); });
    }
}

void TfrmFiltroPadrao::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F1 && HelpContext > 0) {
        guarded([this] { ctx().help(HelpContext); });
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TfrmFiltroPadrao::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Show: {
        m_closed = false;
        // Whole criteria where the desktop allows, never past its edges.
        resize(size().expandedTo(sizeHint()).boundedTo(DesktopSize()));
        if (!m_shownOnce) {
            m_shownOnce = true;
            QMetaObject::invokeMethod(this, [this] { if (OnActivate) guarded(OnActivate); }, Qt::QueuedConnection);
        }
        break;
    }
    case QEvent::WindowDeactivate: {
        QWidget* modal = QApplication::activeModalWidget();
        m_lostToOwnModal = (modal && modal != this) || QApplication::activePopupWidget() != nullptr;
        break;
    }
    case QEvent::WindowActivate:
        if (m_shownOnce && !m_lostToOwnModal && OnActivate)
            QMetaObject::invokeMethod(this, [this] { if (OnActivate) guarded(OnActivate); }, Qt::QueuedConnection);
        m_lostToOwnModal = false;
        break;
    default:
        break;
    }
    return QDialog::event(e);
}

} // namespace fw
