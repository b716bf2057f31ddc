// Ajusta, RoundDec, dates, number pictures, masks, the catalogue and the
// result and error helpers.
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FormatUtil.h"
#include "core/FwError.h"
#include "core/Messages.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

#include "support/QtPrint.h"

using namespace fw;

namespace {

TEST(Ajusta, NormalisesCodesToTheirWidth)
{
    struct Case {
        const char* in;
        int width;
        const char* out;
    };
    const Case cases[] = {
        {"1", 4, "0001"},        {"12", 10, "0000000012"}, {" 7 ", 4, "0007"},    {"", 4, ""},
        {"   ", 4, ""},           {"OC-55", 15, "OC-55"},   {" ab ", 4, "ab"},     {"12345", 4, "12345"},
        {"0001", 4, "0001"},      {"4512", 15, "000000000004512"}, {"1a", 4, "1a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Ajusta(QString::fromUtf8(c.in), c.width), QString::fromUtf8(c.out)) << c.in;
}

TEST(RoundDec, RoundsHalfAwayFromZeroOnTheDecimalText)
{
    const std::pair<double, double> cases[] = {
        {1.005, 1.01}, {2.675, 2.68}, {1.234, 1.23}, {-1.005, -1.01}, {0.125, 0.13},
        {1.2345, 1.23}, {99.995, 100.0}, {0.0, 0.0}, {-0.001, 0.0}, {1e15 + 0.5, 1e15 + 0.5},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(RoundDec(in, 2), out) << in;
    EXPECT_EQ(RoundDec(1.234, 2) + RoundDec(1.234, 2), 2.46);
}

TEST(Dates, DaysSince1899AndStrictParsing)
{
    EXPECT_EQ(date::fromQDate(QDate(1899, 12, 30)), 0.0);
    EXPECT_EQ(date::fromQDate(QDate(2025, 1, 1)), 45658.0);
    EXPECT_EQ(date::parseDate(QStringLiteral("29/02/2024")), date::fromQDate(QDate(2024, 2, 29)));
    EXPECT_FALSE(date::parseDate(QStringLiteral("31/02/2024")));
    EXPECT_FALSE(date::parseDate(QStringLiteral("29/02/2023")));
    EXPECT_FALSE(date::parseDate(QStringLiteral("1/13/2024")));
    EXPECT_FALSE(date::parseDate(QStringLiteral("  /  /    ")));
    EXPECT_FALSE(date::parseDate(QStringLiteral("2024-02-01")));
    EXPECT_EQ(date::formatDate(45658.0), "01/01/2025");
    EXPECT_EQ(date::formatDate(0.0), "");
    EXPECT_EQ(date::formatDateTime(45658.0), "01/01/2025");
    EXPECT_EQ(date::formatDateTime(45658.75), "01/01/2025 18:00:00");
    EXPECT_EQ(date::today(), date::wholeDays(date::today()));
}

TEST(Pictures, FormatNumbersInPtBr)
{
    const std::tuple<const char*, double, const char*> cases[] = {
        {"#,##0.00 %", 1234.5, "1.234,50 %"}, {"#,##0.00 %", 0, "0,00 %"},   {"##0.000", 1.5, "1,500"},
        {"###0.000", 12345.6789, "12345,679"}, {"###0.00", 1.005, "1,01"},   {"#,##0.00", -1234567.891, "-1.234.567,89"},
        {"###0.00", -0.001, "0,00"},           {"#,##0.00", 999.995, "1.000,00"},
    };
    for (auto [pic, v, out] : cases)
        EXPECT_EQ(fmt::formatFloat(QString::fromUtf8(pic), v), QString::fromUtf8(out)) << pic << " " << v;
    EXPECT_EQ(fmt::pictureDecimals(QStringLiteral("#,##0.00")), 2);
}

TEST(Pictures, ParseTypedNumbers)
{
    EXPECT_EQ(fmt::parseNumber(QStringLiteral("12,5")), 12.5);
    EXPECT_EQ(fmt::parseNumber(QStringLiteral("1.234,56")), 1234.56);
    EXPECT_EQ(fmt::parseNumber(QStringLiteral(" 7 % ")), 7.0);
    EXPECT_EQ(fmt::parseNumber(QStringLiteral("-3")), -3.0);
    EXPECT_EQ(fmt::parseNumber(QStringLiteral(",5")), 0.5);
    for (const char* bad : {"12.5", "1.23,4", "abc", "", "1,2,3", "--1", "1e5", "١٢"})
        EXPECT_FALSE(fmt::parseNumber(QString::fromUtf8(bad))) << bad;
}

TEST(Masks, LiteralsAreAppliedToRawValues)
{
    EXPECT_EQ(fmt::applyMask(QStringLiteral("12345678901"), PictPess(QStringLiteral("F"))), "123.456.789-01");
    EXPECT_EQ(fmt::applyMask(QStringLiteral("12345678000199"), PictPess(QStringLiteral("J"))), "12.345.678/0001-99");
    EXPECT_EQ(fmt::applyMask(QStringLiteral("1010010001"), QStringLiteral("9.99.999.9999")), "1.01.001.0001");
    EXPECT_EQ(fmt::applyMask(QStringLiteral("101"), QStringLiteral("9.99.999.9999")), "1.01");
    EXPECT_EQ(PictPess(QStringLiteral("X")), "");
}

TEST(EmptyStringTest, BlankTextsAndUntypedMasks)
{
    for (const char* e : {"", "   ", "  /  /    ", "//", "\t"})
        EXPECT_TRUE(EmptyString(QString::fromUtf8(e))) << e;
    for (const char* ne : {"0", " a ", "01/01/2024", "OC-1"})
        EXPECT_FALSE(EmptyString(QString::fromUtf8(ne))) << ne;
}

struct WithUi : ::testing::Test {
    ScriptedUi ui;
    void SetUp() override { ctx().setUi(&ui); }
    void TearDown() override { ctx().setUi(nullptr); }
};

TEST_F(WithUi, CatalogueLooksUpKeysFallsBackToTheBaseAndReturnsUnknownKeys)
{
    TMessages msg({QStringLiteral("Filial_inf|Filial deve ser informada."),
                   QStringLiteral("GRAVA|Deseja gravar? "), QStringLiteral("Vazio|")});
    EXPECT_EQ(msg.Msg(QStringLiteral("Filial_inf")), "Filial deve ser informada.");
    EXPECT_EQ(msg.Msg(QStringLiteral("GRAVA")), "Deseja gravar? "); // trailing blank kept
    EXPECT_EQ(msg.Msg(QStringLiteral("Vazio")), "");
    EXPECT_EQ(msg.Msg(QStringLiteral("CLIE")), "CLIE");
    EXPECT_FALSE(msg.Msg(QStringLiteral("Canc")).isEmpty());
    ui.answers = {mrYes};
    EXPECT_EQ(msg.ShowMsg(QStringLiteral("GRAVA"), MsgType::Confirmation, Buttons::YesNo, 0), mrYes);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Deseja gravar? ");
    EXPECT_EQ(ui.messages[0].type, MsgType::Confirmation);
}

TEST_F(WithUi, MensErroShowsThenAbortsOnlyWhenAsked)
{
    EXPECT_THROW(MensErro(QStringLiteral("Falhou."), true), Abort);
    EXPECT_NO_THROW(MensErro(QStringLiteral("Aviso."), false));
    EXPECT_EQ(ui.texts(), (QStringList{"Falhou.", "Aviso."}));
    EXPECT_EQ(ui.messages[0].type, MsgType::Error);
}

TEST_F(WithUi, CheckResultServRaisesTheServersText)
{
    const auto ok = ServerResult::success(Payload::fromJson("42"));
    EXPECT_EQ(CheckResultServ(ok).toNumber(), 42.0);
    const auto bad = ServerResult::failure(-32000, QStringLiteral("Item_Canc"));
    try {
        CheckResultServ(bad);
        FAIL();
    } catch (const ServerError& e) {
        EXPECT_EQ(e.text(), "Item_Canc");
        EXPECT_EQ(e.code(), -32000);
    }
    EXPECT_TRUE(CheckResultServ(bad, false).isNull());
    EXPECT_EQ(ui.lastText(), "Item_Canc");
}

TEST_F(WithUi, GuardsStopTheBusyAnimationAndReportFailuresButNotAborts)
{
    guarded([] {
        BusyGuard busy(6);
        throw Error(QStringLiteral("Servidor não respondeu."));
    });
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(ui.busyKinds, std::vector<int>{6});
    EXPECT_EQ(ui.lastText(), "Servidor não respondeu.");
    const size_t shown = ui.messages.size();
    guarded([] { throw Abort(); });
    EXPECT_EQ(ui.messages.size(), shown);
    {
        CursorGuard c;
        EXPECT_EQ(ui.cursorDepth, 1);
    }
    EXPECT_EQ(ui.cursorDepth, 0);
}

} // namespace
