// The call-site table reader and type matching, internal to the library, through a
// module that compiles them with the library's own flags.
#include "cxxabi/sjlj_abi.h"
#include "cxxabi/type_info.h"
#include "simhost/loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace lbw::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Read = std::pair<uint64_t, long>; // value, bytes consumed
// result, callSiteFound, cleanup, handlerFound, landingPad, selector
using Outcome = std::tuple<bool, int, int, int, uint32_t, int32_t>;
constexpr Outcome kCleared{false, 0, 0, 0, 0, 0};

class CallSiteTableTest : public ::testing::Test {
protected:
    simhost::LoadedLibrary module{LBW_PROGRAM_CALL_SITE_MODULE};
    decltype(&inspect_context) inspect = module.function<decltype(inspect_context)>("inspect_context");
    decltype(&read_encoded_pointer) encoded = module.function<decltype(read_encoded_pointer)>("read_encoded_pointer");
    decltype(&type_matches) matches = module.function<decltype(type_matches)>("type_matches");

    const void *vtable(const char *kind) {
        std::string name = std::string("_ZTVN10__cxxabiv1") + kind + "_type_infoE";
        return static_cast<LorrinTypeInfoVtable *>(module.symbol(name.c_str()))->address_point();
    }
    // Base <- Mid <- Leaf by single inheritance; Other unrelated.
    LorrinSiClassTypeInfo base{{vtable("17__class"), "4Base"}, nullptr};
    LorrinSiClassTypeInfo mid{{vtable("20__si_class"), "3Mid"}, &base.info};
    LorrinSiClassTypeInfo leaf{{vtable("20__si_class"), "4Leaf"}, &mid.info};
    LorrinSiClassTypeInfo other{{vtable("17__class"), "5Other"}, nullptr};

    // Reads a value with `reader` from `bytes`: the value and the bytes consumed.
    template <class Reader>
    Read read(Reader reader, Bytes bytes) {
        const uint8_t *p = bytes.data();
        uint64_t value = static_cast<uint64_t>(reader(&p));
        return {value, p - bytes.data()};
    }
    // The result and the handler of inspecting `table` at `callSite`; the handler starts
    // dirty to show that every path writes it.
    Outcome run(const Bytes &table, int32_t callSite, const void *thrown) {
        LorrinSjLjContext record{};
        record.lsda = table.empty() ? nullptr : table.data();
        record.callSite = callSite;
        LorrinHandler h;
        std::memset(&h, 0xAB, sizeof h);
        bool result = inspect(&record, thrown, h);
        return {result, h.callSiteFound, h.cleanup, h.handlerFound, h.landingPad, h.selector};
    }
    // A table whose call site 1 (landing pad 4) starts at action record 1 of `actions`,
    // with an absolute two-entry type table: entry 1 Mid, entry 2 Other.
    Bytes with_actions(const Bytes &actions) {
        Bytes rest = {0x03, 0x02, 0x04, 0x01};
        rest.insert(rest.end(), actions.begin(), actions.end());
        const void *types[] = {&other, &mid}; // entry n lies n entries before the base
        rest.insert(rest.end(), reinterpret_cast<const uint8_t *>(types), reinterpret_cast<const uint8_t *>(types + 2));
        Bytes table = {0xFF, 0x00};
        for (size_t offset = rest.size();; offset >>= 7) { // from the end of this ULEB128 to the base
            table.push_back(static_cast<uint8_t>((offset & 0x7F) | (offset >= 0x80 ? 0x80 : 0)));
            if (offset < 0x80)
                break;
        }
        table.insert(table.end(), rest.begin(), rest.end());
        return table;
    }
};

// Bits beyond the 64th are dropped; the cursor still moves past every byte.
TEST_F(CallSiteTableTest, Leb128AndUnalignedReads) {
    Bytes ones(12, 0xFF);
    ones.back() = 0x7F;
    auto uleb = module.function<decltype(read_uleb128)>("read_uleb128");
    auto sleb = module.function<decltype(read_sleb128)>("read_sleb128");
    EXPECT_EQ(read(uleb, {0xE5, 0x8E, 0x26, 0x99}), Read(624485, 3));
    EXPECT_EQ(read(uleb, ones), Read(~uint64_t{0}, 12));
    EXPECT_EQ(read(uleb, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}), Read(uint64_t{1} << 63, 10));
    EXPECT_EQ(read(sleb, {0x7F}), Read(uint64_t(-1), 1));
    EXPECT_EQ(read(sleb, {0x3F}), Read(63, 1));
    EXPECT_EQ(read(sleb, {0x80, 0x7F}), Read(uint64_t(-128), 2));
    EXPECT_EQ(read(sleb, ones), Read(uint64_t(-1), 12));
    EXPECT_EQ(read(sleb, {0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}), Read(1, 11));

    auto unaligned = module.function<decltype(read_unaligned)>("read_unaligned");
    const uint8_t bytes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    EXPECT_EQ(unaligned(bytes + 1, 2), 0x0201u);
    EXPECT_EQ(unaligned(bytes + 1, 8), 0x0807060504030201u);
    EXPECT_EQ(unaligned(bytes + 3, 0), 0u);
    EXPECT_EQ(unaligned(bytes, 9), 0x0706050403020100u); // never more than 8 bytes
}

// The pc-relative, indirect form 0x9B is what compiled tables use: the programs cover it.
TEST_F(CallSiteTableTest, EncodedPointers) {
    struct Case {
        uint8_t encoding;
        Bytes bytes;
        Read expected;
    };
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<Case> cases = {
        {0x9B, {0, 0, 0, 0}, {0, 4}}, // zero: no base, no indirection
        {0x02, {0xFE, 0xFF}, {0xFFFE, 2}},
        {0x0A, {0xFE, 0xFF}, {uint64_t(-2), 2}},
        {0x03, {0xFC, 0xFF, 0xFF, 0xFF}, {0xFFFFFFFC, 4}},
        {0x0B, {0xFC, 0xFF, 0xFF, 0xFF}, {uint64_t(-4), 4}},
        {0x01, {0xE5, 0x8E, 0x26}, {624485, 3}},
        {0x09, {0x7E}, {uint64_t(-2), 1}},
    };
    for (uint8_t format : {0x00, 0x04, 0x0C})
        cases.push_back({format, eight, {0x0807060504030201u, 8}});
    for (uint8_t format : {0xFF, 0x05, 0x06, 0x07, 0x08, 0x0D, 0x0E, 0x0F}) // omitted or meaningless
        cases.push_back({format, eight, {0, 0}});
    for (uint8_t base : {0x24, 0x34, 0x44, 0x54}) // bases other than absolute and pc-relative
        cases.push_back({base, eight, {0, 8}});
    for (const Case &c : cases)
        EXPECT_EQ(read([&](const uint8_t **p) { return encoded(c.encoding, p); }, c.bytes), c.expected)
            << int(c.encoding);
}

// Each row: a table, the frame's call site, the thrown type and the outcome.
TEST_F(CallSiteTableTest, CallSiteEntriesAndActionChains) {
    // FF 9B 0D 03 02 00 01 | action 01 00 | padding | type entry 0: a catch-all.
    const Bytes catch_all = {0xFF, 0x9B, 0x0D, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0};
    const Bytes cleanups = {0xFF, 0xFF, 0x03, 0x04, 0x00, 0x00, 0x01, 0x00}; // no type table
    // filter 2 (Other), then filter 1 (Mid).
    const Bytes chain = with_actions({0x02, 0x01, 0x01, 0x00});
    Bytes skip63, skip64; // 63 or 64 skipped records, then a catch: only 64 are read
    for (int i = 0; i < 64; ++i)
        skip64.insert(skip64.end(), {0x7F, 0x01});
    skip64.insert(skip64.end(), {0x01, 0x00});
    skip63.assign(skip64.begin() + 2, skip64.end());
    const std::tuple<const char *, Bytes, int32_t, const void *, Outcome> rows[] = {
        {"catch-all", catch_all, 1, &other, {true, 1, 0, 1, 0, 1}},
        {"catch-all, nothing thrown", catch_all, 1, nullptr, {true, 1, 0, 1, 0, 1}},
        {"cleanup", cleanups, 2, nullptr, {false, 1, 1, 0, 1, 0}},
        {"past the entries", cleanups, 3, nullptr, kCleared},
        {"no current call", cleanups, 0, nullptr, kCleared},
        {"negative call site", cleanups, -1, nullptr, kCleared},
        {"no table", {}, 1, nullptr, kCleared},
        {"no entries", {0xFF, 0xFF, 0x03, 0x00, 0x07, 0x00}, 1, nullptr, kCleared},
        {"udata4 landing-pad base, skipped", {0x03, 1, 2, 3, 4, 0xFF, 0x03, 0x04, 0x00, 0x00, 0x07, 0x00}, 2,
         nullptr, {false, 1, 1, 0, 7, 0}},
        // Unusable type entries catch everything.
        {"no type table", {0xFF, 0xFF, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00}, 1, &other, {true, 1, 0, 1, 0, 1}},
        {"type format without a size", {0xFF, 0x01, 0x05, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00, 0x55, 0x55}, 1,
         &other, {true, 1, 0, 1, 0, 1}},
        {"filter negative in 32 bits",
         {0xFF, 0x03, 0x0B, 0x03, 0x02, 0x00, 0x01, 0x80, 0x80, 0x80, 0x80, 0x08, 0x00, 0x55, 0x55}, 1, &other,
         {true, 1, 0, 1, 0, int32_t(0x80000000u)}},
        {"second record catches a Leaf", chain, 1, &leaf, {true, 1, 0, 1, 4, 1}},
        {"first record catches Other", chain, 1, &other, {true, 1, 0, 1, 4, 2}},
        {"an ancestor is not a Mid", chain, 1, &base, {false, 1, 0, 0, 4, 0}},
        {"cleanup record first", with_actions({0x00, 0x01, 0x01, 0x00}), 1, &mid, {true, 1, 1, 1, 4, 1}},
        {"negative filters", with_actions({0x7F, 0x01, 0x7E, 0x00}), 1, &mid, {false, 1, 0, 0, 4, 0}},
        {"record pointing at itself", with_actions({0x7F, 0x7F}), 1, &mid, {false, 1, 0, 0, 4, 0}},
        {"63 records skipped", with_actions(skip63), 1, &mid, {true, 1, 0, 1, 4, 1}},
        {"64 records skipped", with_actions(skip64), 1, &mid, {false, 1, 0, 0, 4, 0}},
    };
    for (const auto &[what, table, call_site, thrown, outcome] : rows)
        EXPECT_EQ(run(table, call_site, thrown), outcome) << what;
}

TEST_F(CallSiteTableTest, TypeMatching) {
    LorrinSiClassTypeInfo leaf_elsewhere{{leaf.info.vtable, "4Leaf"}, &mid.info};
    LorrinSiClassTypeInfo both{{vtable("21__vmi_class"), "4Both"}, &base.info}; // no base for this kind
    LorrinTypeInfo unnamed{base.info.vtable, nullptr}, also_unnamed{base.info.vtable, nullptr};
    LorrinTypeInfo pointer{base.info.vtable, "P4Leaf"}, const_pointer{base.info.vtable, "PK4Leaf"};
    LorrinTypeInfo base_pointer{base.info.vtable, "P4Base"}, prefix{base.info.vtable, "4Lea"};
    const std::tuple<const void *, const void *, bool> cases[] = {
        {&leaf, &leaf, true},           {&leaf, &leaf_elsewhere, true}, {&leaf, &mid, true},
        {&leaf, &base, true},           {&base, &leaf, false},          {&mid, &leaf, false},
        {&both, &both, true},           {&both, &base, false},          {&pointer, &base_pointer, false},
        {&pointer, &const_pointer, false}, {&leaf, &prefix, false},     {&prefix, &leaf, false},
        {&unnamed, &also_unnamed, true}, {&unnamed, &base, false},      {&base, &unnamed, false},
        {&leaf, nullptr, true},         {nullptr, nullptr, true},       {nullptr, &base, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(matches(std::get<0>(cases[i]), std::get<1>(cases[i])), std::get<2>(cases[i])) << "case " << i;
}

} // namespace
} // namespace lbw::test
