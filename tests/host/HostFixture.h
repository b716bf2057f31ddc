#pragma once

// The shell logged in to a real server (through a recording proxy) with the
// real module libraries, and the commission screen opened through it.
#include "support/RecordingProxy.h"
#include "support/ServerFixture.h"

#include "commission/ComissaoVend.h"
#include "filter/FiltroComisVend.h"
#include "shared/Globals.h"
#include "host/Host.h"
#include "host/MainWindow.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FwError.h"
#include "support/ScriptedUi.h"
#include "widgets/Mdi.h"

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace testsupport {

inline void shoot(QWidget& w, const char* name)
{
    const QString dir = qEnvironmentVariable("PED_SCREENSHOTS");
    if (!dir.isEmpty())
        w.grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

inline void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Keys as a user types them: each goes where the focus is then.
inline void typeKeys(const QString& text)
{
    for (QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        settle();
    }
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::ctx().setUi(&ui);
        // the filter dialog is confirmed as it stands
        ui.onModal = [this](QObject* d) {
            ++modals;
            if (auto* f = qobject_cast<TfrmFiltroComisVend*>(d)) {
                f->FormActivate(); // shown: the controls take the filter record
                if (onFilter)
                    onFilter(*f);
                if (cancelFilter) {
                    f->sbtCancelClick();
                    return 0;
                }
                f->sbtConfirmaClick();
                return f->boConfirma ? 1 : 0;
            }
            if (auto* l = qobject_cast<host::LoginDialog*>(d)) {
                ++logins;
                // the shell offers the same operator; the user types the password again
                EXPECT_EQ(l->edtOperador->text(), QStringLiteral("ADM"));
                EXPECT_TRUE(l->edtSenha->text().isEmpty());
                l->edtSenha->setText(s.password(QStringLiteral("ADM")));
                l->accept();
                return l->result();
            }
            return 0;
        };
        main = std::make_unique<host::MainWindow>(shell);
        main->show();
        shell.login({QStringLiteral("127.0.0.1:%1").arg(proxy.port), QStringLiteral("sqlite:") + s.url.path,
                     QStringLiteral("ADM"), s.password(QStringLiteral("ADM")), branch});
        main->refreshStatus();
    }
    void TearDown() override
    {
        // a line a test left being typed is discarded
        ui.answers.assign(4, fw::mrNo);
        main->mdiArea()->closeAllSubWindows();
        settle();
        main.reset();
        shell.unloadAll();
        shell.logout();
        fw::SetDesktopSize({});
        fw::ctx().setUi(nullptr);
    }

    QList<TfrmComissaoVend*> screens() const { return main->mdiArea()->findChildren<TfrmComissaoVend*>(); }

    // The screen with its branch left: the filter confirmed, orders loaded.
    TfrmComissaoVend* openLoaded()
    {
        TfrmComissaoVend* sc = openScreen();
        if (sc) {
            sc->medCdFilialExit();
            settle();
        }
        return sc;
    }

    // The commission screen opened from the shell, its branch not yet left.
    TfrmComissaoVend* openScreen()
    {
        shell.open(QStringLiteral("PED03600"));
        settle();
        return screens().isEmpty() ? nullptr : screens().first();
    }

    TestServer s{120};
    RecordingProxy proxy{s.port};
    fw::ScriptedUi ui;
    host::Host shell;
    std::unique_ptr<host::MainWindow> main;
    QString branch = QStringLiteral("0002");
    int modals = 0;
    int logins = 0;
    bool cancelFilter = false;
    // What the user does in the filter dialog before confirming or cancelling.
    std::function<void(TfrmFiltroComisVend&)> onFilter;
};

} // namespace testsupport
