// A catalogue of hostile values sent through every argument of every method:
// each answer is a normal result or a parameter error (or a business
// refusal), never a database failure, SQL text or an internal error, and no
// table changes.
#include "server/Methods.h"
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(Hostile, EveryArgumentOfEveryMethodTakesTheCatalogueWithNothingChanged)
{
    TestServer s(150, 13);
    const std::string tok = s.token();
    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += (i ? "," : "") + std::to_string(i);
    std::vector<json> texts = {
        "'", "' OR 1=1 --", "0001'; DROP TABLE PEDIDO; --", "/* */", "-- ", "%", "_", "\\", "\"", "0001) OR (1=1",
        std::string(5000, 'x'), std::string(100001, 'y'), "", ",,,,", many, "ção", std::string("a\0b", 3),
        // wrong JSON types in a text argument
        1, -1.5, true, nullptr, json::array({"0001"}), json::object({{"a", 1}}),
    };
    // bytes that are not UTF-8 go on the wire as they are (marked here)
    texts.push_back("<raw>\"\xff\xfe\"");
    texts.push_back("<raw>\"\xc3\x28\"");
    const std::vector<json> numbers = {0, -1, 1e308, -1e308, 4.9e-324, 9007199254740993.0, 2958465, 2958466, -693594,
                                       "45000", true, nullptr, json::array()};
    const std::vector<json> flags = {"T", 1, 0, nullptr, "true"};
    const std::vector<json> sets = {json::object(), json::array(), "{}", json::object({{"fields", 1}}),
                                    json::object({{"fields", json::array()}, {"changes", json::array({1, 2})}}),
                                    json::object({{"fields", commissionLineFields()}, {"changes", json::array({{{"op", "drop"}}})}})};
    const QStringList tables = {"PEDIDO", "ITEMPEDIDO", "COMISITEMPED", "VENDEDOR", "CLIENTE", "HISTCOMISSAO",
                                "OPERADOR", "CONTAPAGA", "REGRACOMISSAO", "SESSAO"};
    auto sums = [&] {
        std::string all;
        for (const QString& t : tables)
            all += s.checksum(t);
        return all;
    };
    const std::string before = sums();
    // arguments that change nothing by themselves: no such order or item,
    // an empty change set, no date range
    auto base = [](char kind) -> json {
        switch (kind) {
        case 'D': return 0;
        case 'B': return false;
        case 'C': return json::object({{"fields", commissionLineFields()}, {"changes", json::array()}});
        default: return "9999999999";
        }
    };
    const char* leaks[] = {"SELECT", "INSERT", "UPDATE", "DELETE FROM", " WHERE ", "sqlite", "SQLITE", "Dynamic SQL",
                           "syntax", "std::", "exception", "Erro interno"};
    int calls = 0;
    for (const srv::MethodDef& m : srv::methodTable()) {
        const std::string sig = m.signature;
        for (size_t at = 0; at < sig.size(); ++at) {
            const auto& catalogue = sig[at] == 'D' ? numbers : sig[at] == 'B' ? flags : sig[at] == 'C' ? sets : texts;
            for (const json& value : catalogue) {
                std::string params = "[";
                for (size_t i = 0; i < sig.size(); ++i) {
                    const json& v = i == at ? value : base(sig[i]);
                    const bool raw = v.is_string() && v.get<std::string>().rfind("<raw>", 0) == 0;
                    params += (i ? "," : "") + (raw ? v.get<std::string>().substr(5) : v.dump());
                }
                params += "]";
                auto r = s.raw(tok, R"({"jsonrpc":"2.0","id":1,"method":")" + std::string(m.name) + R"(","params":)" + params + "}",
                               m.server);
                ++calls;
                ASSERT_TRUE(r) << m.name << " #" << at << ": no answer";
                ASSERT_EQ(r->status, 200) << m.name << " #" << at;
                const json j = json::parse(r->body, nullptr, false);
                ASSERT_FALSE(j.is_discarded()) << m.name << " #" << at << ": the answer is not JSON";
                const std::string text = r->body;
                ASSERT_TRUE(j.contains("result") || j.contains("error")) << m.name << " #" << at << ": " << text.substr(0, 300);
                if (j.contains("error")) {
                    const int code = j["error"]["code"];
                    EXPECT_TRUE(code == -32602 || code == -32000 || code == -32700) << m.name << " #" << at << ": " << text.substr(0, 300);
                    const std::string msg = j["error"].value("message", "");
                    EXPECT_EQ(msg.find("Falha ao"), std::string::npos) << m.name << " #" << at << ": " << msg;
                    for (const char* leak : leaks)
                        EXPECT_EQ(msg.find(leak), std::string::npos) << m.name << " #" << at << ": " << msg;
                }
            }
        }
    }
    EXPECT_GT(calls, 500);
    EXPECT_EQ(sums(), before);
    // and the server still serves
    EXPECT_TRUE(s.call(tok, "GetToTiComi", {"0001", "0000000001", "001"}).contains("result"));
}

} // namespace
