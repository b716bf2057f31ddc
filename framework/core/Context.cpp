#include "Context.h"

#include "FwError.h"

namespace fw {

Context& Context::instance()
{
    static Context c;
    return c;
}

UserInterface& Context::ui() const
{
    if (!m_ui)
        throw Error(QStringLiteral("Nenhuma interface com o usuário foi instalada."));
    return *m_ui;
}

QString Operador() { return ctx().login.operador; }
QString FiliProc() { return ctx().login.filiProc; }
QString NomeFiliProc() { return ctx().login.nomeFiliProc; }
bool ModuFili() { return ctx().login.moduFili; }
QString WebURL() { return ctx().login.webUrl; }
int WebPort() { return ctx().login.webPort; }
bool WebTls() { return ctx().login.webTls; }

QString DBPict(int)
{
    return ctx().login.dbPict;
}

TPictObj DBPictObj(int)
{
    return TPictObj(ctx().login.dbPictLevels);
}

void LoadBPL(const QString& screenCode, const QVariantList& params)
{
    if (!ctx().loadBpl)
        throw Error(QStringLiteral("O módulo %1 não pode ser aberto: nenhum carregador disponível.").arg(screenCode));
    ctx().loadBpl(screenCode, params);
}

QString exceptionText(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Abort&) {
        return {};
    } catch (const Error& err) {
        return err.text();
    } catch (const std::exception& err) {
        return QString::fromUtf8(err.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido.");
    }
}

void reportException(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Abort&) {
        return;
    } catch (...) {
    }
    if (ctx().errorReporter) {
        ctx().errorReporter(e);
        return;
    }
    if (ctx().hasUi())
        ctx().ui().showMessage(exceptionText(e), MsgType::Error, Buttons::Ok, 0);
}

BusyGuard::BusyGuard(int kind)
{
    if (ctx().hasUi()) {
        ctx().ui().busyStart(ctx().mainWindow, kind);
        m_on = true;
    }
}

BusyGuard::~BusyGuard()
{
    stop();
}

void BusyGuard::stop()
{
    if (m_on) {
        m_on = false;
        ctx().ui().busyStop();
    }
}

CursorGuard::CursorGuard()
{
    if (ctx().hasUi())
        ctx().ui().setWaitCursor(true);
}

CursorGuard::~CursorGuard()
{
    if (ctx().hasUi())
        ctx().ui().setWaitCursor(false);
}

} // namespace fw
