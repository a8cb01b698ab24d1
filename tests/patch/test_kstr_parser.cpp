// The field parser: fields, null fields and separator counts, and the one-pass
// splitter the loader uses agreeing with it on every field.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "patch/kstr_parser.h"

namespace {

struct FieldCase {
    const char* line;
    char sep;
    int n;
    const char* expected;  // null: no field
};

std::string field_text(const char* f) { return f ? f : "<null>"; }

void PrintTo(const FieldCase& c, std::ostream* os) {
    for (const char* p = c.line; *p; p++) *os << (*p == ';' ? 'S' : *p == '=' ? 'E' : *p);
    *os << "_sep" << (c.sep == ';' ? 'S' : 'E') << "_n" << (c.n < 0 ? "minus" : "") << (c.n < 0 ? -c.n : c.n);
}

class FieldTable : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldTable, GetChampGivesTheFieldOrNull) {
    const FieldCase& c = GetParam();
    KSTR_PARSER p(c.line, c.sep);
    std::unique_ptr<char[]> f(p.get_champ(c.n));
    EXPECT_EQ(field_text(f.get()), field_text(c.expected)) << c.line << " field " << c.n;
}

INSTANTIATE_TEST_SUITE_P(
    KstrParser, FieldTable,
    ::testing::Values(FieldCase{"X;Y;Z;", ';', 0, "X"}, FieldCase{"X;Y;Z;", ';', 2, "Z"},
                      FieldCase{"X;Y;Z;", ';', 3, nullptr}, FieldCase{"X;Y;Z;", ';', 9, nullptr},
                      FieldCase{"X;;Z", ';', 1, nullptr}, FieldCase{"X;;Z", ';', 2, "Z"},
                      FieldCase{";X", ';', 0, nullptr}, FieldCase{";X", ';', 1, "X"},
                      FieldCase{"K=V", '=', 0, "K"}, FieldCase{"K=V", '=', 1, "V"},
                      FieldCase{"K=V", '=', 2, nullptr}, FieldCase{"K=", '=', 1, nullptr},
                      FieldCase{"K", '=', 1, nullptr}, FieldCase{"X=Y=Z", '=', 1, "Y"},
                      FieldCase{"X;Y", ';', -1, nullptr}, FieldCase{"", ';', 0, nullptr},
                      FieldCase{"a b;c d", ';', 1, "c d"}));

TEST(KstrParser, CountsSeparatorsNotFields) {
    EXPECT_EQ(KSTR_PARSER("X;Y;Z", ';').get_nbr_champs(), 2);
    EXPECT_EQ(KSTR_PARSER("X;Y;Z;", ';').get_nbr_champs(), 3);
    EXPECT_EQ(KSTR_PARSER("", ';').get_nbr_champs(), 0);
    EXPECT_EQ(KSTR_PARSER("K", '=').get_nbr_champs(), 0);
}

TEST(KstrParser, EachCallReturnsAFreshCopyAndTheSeparatorCanChange) {
    char line[] = "A=1;B=2;";
    KSTR_PARSER p(line, ';');
    std::unique_ptr<char[]> a(p.get_champ(1)), b(p.get_champ(1));
    EXPECT_NE(a.get(), b.get());
    EXPECT_STREQ(a.get(), "B=2");
    p.set_separateur('=');
    std::unique_ptr<char[]> c(p.get_champ(1));
    EXPECT_STREQ(c.get(), "1;B");
    EXPECT_EQ(p.get_nbr_champs(), 2);
}

// The loader walks lines with KSTR_FIELDS: it must give exactly what get_champ gives.
TEST(KstrFields, AgreesWithGetChampOnEveryField) {
    for (const char* line : {"", ";", ";;", "X", "X;", ";X", "X;Y;Z;", "X;;Z", "ab;;;cd;e", "MIXER;V_00=1;"}) {
        KSTR_PARSER p(line, ';');
        KSTR_FIELDS f(line, ';');
        EXPECT_EQ(f.get_nbr_champs(), p.get_nbr_champs()) << line;
        for (int n = -2; n < p.get_nbr_champs() + 3; n++) {
            std::unique_ptr<char[]> expected(p.get_champ(n));
            EXPECT_EQ(field_text(f.field(n)), field_text(expected.get())) << line << " field " << n;
        }
    }
}

}  // namespace
