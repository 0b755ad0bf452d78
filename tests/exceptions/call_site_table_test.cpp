// The call-site table reader and type matching, internal to the library, through a
// module that compiles them with the library's own flags.
#include "simhost/loader.h"
#include "tests/exceptions/exceptions_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace lbw::test {
namespace {

struct Handler {
    uint8_t callSiteFound;
    uint8_t cleanup;
    uint8_t handlerFound;
    uint32_t landingPad;
    int32_t selector;
};

struct TypeInfo {
    const void *vtable;
    const char *name;
    const TypeInfo *base; // only for single-inheritance classes
};

// result, callSiteFound, cleanup, handlerFound, landingPad, selector
using Outcome = std::tuple<bool, int, int, int, uint32_t, int32_t>;

class CallSiteTableTest : public ::testing::Test {
protected:
    sim::LoadedLibrary module{LBW_PROGRAM_CALL_SITE_MODULE};
    bool (*inspect)(const FrameRecord *, const void *, Handler *) =
        module.function<bool(const FrameRecord *, const void *, Handler *)>("inspect_context");
    uint64_t (*uleb)(const uint8_t **) = module.function<uint64_t(const uint8_t **)>("read_uleb128");
    int64_t (*sleb)(const uint8_t **) = module.function<int64_t(const uint8_t **)>("read_sleb128");
    uintptr_t (*encoded)(uint8_t, const uint8_t **) =
        module.function<uintptr_t(uint8_t, const uint8_t **)>("read_encoded_pointer");
    uint64_t (*unaligned)(const uint8_t *, unsigned) =
        module.function<uint64_t(const uint8_t *, unsigned)>("read_unaligned");
    bool (*matches)(const void *, const void *) = module.function<bool(const void *, const void *)>("type_matches");

    const void *vtable(const char *name) { return static_cast<void **>(module.symbol(name)) + 2; }
    const void *si() { return vtable("_ZTVN10__cxxabiv120__si_class_type_infoE"); }
    const void *plain() { return vtable("_ZTVN10__cxxabiv117__class_type_infoE"); }
    const void *vmi() { return vtable("_ZTVN10__cxxabiv121__vmi_class_type_infoE"); }

    // The result and the handler of inspecting `table` at call site `callSite`; the
    // handler starts dirty to show that every path writes it.
    Outcome run(const std::vector<uint8_t> &table, int32_t callSite, const void *thrown) {
        FrameRecord record{};
        record.lsda = table.empty() ? nullptr : table.data();
        record.callSite = callSite;
        Handler h;
        std::memset(&h, 0xAB, sizeof h);
        bool result = inspect(&record, thrown, &h);
        return {result, h.callSiteFound, h.cleanup, h.handlerFound, h.landingPad, h.selector};
    }
    static constexpr Outcome kCleared{false, 0, 0, 0, 0, 0};
};


using Bytes = std::vector<uint8_t>;
using Read = std::pair<uint64_t, size_t>; // value, bytes consumed

// Bits beyond the 64th are dropped; the cursor still moves past every byte.
TEST_F(CallSiteTableTest, Leb128) {
    auto read = [](auto reader, Bytes bytes) {
        const uint8_t *p = bytes.data();
        uint64_t value = static_cast<uint64_t>(reader(&p));
        return Read(value, p - bytes.data());
    };
    Bytes ones(12, 0xFF);
    ones.back() = 0x7F;
    const std::pair<Bytes, Read> unsigned_cases[] = {
        {{0xE5, 0x8E, 0x26, 0x99}, {624485, 3}},
        {{0x00}, {0, 1}},
        {ones, {~uint64_t{0}, 12}},
        {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, {uint64_t{1} << 63, 10}},
    };
    for (const auto &[bytes, expected] : unsigned_cases)
        EXPECT_EQ(read(uleb, bytes), expected) << expected.first;
    const std::pair<Bytes, Read> signed_cases[] = {
        {{0x7F}, {uint64_t(-1), 1}},
        {{0x3F}, {63, 1}},
        {{0x80, 0x7F}, {uint64_t(-128), 2}},
        {ones, {uint64_t(-1), 12}},
        // A positive sign bit at shift 70 leaves the value as read.
        {{0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, {1, 11}},
    };
    for (const auto &[bytes, expected] : signed_cases)
        EXPECT_EQ(read(sleb, bytes), expected) << int64_t(expected.first);
}

TEST_F(CallSiteTableTest, ReadUnalignedIsLittleEndian) {
    const uint8_t bytes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    EXPECT_EQ(unaligned(bytes + 1, 2), 0x0201u);
    EXPECT_EQ(unaligned(bytes + 1, 8), 0x0807060504030201u);
    EXPECT_EQ(unaligned(bytes + 3, 0), 0u);
    EXPECT_EQ(unaligned(bytes, 9), 0x0706050403020100u); // never more than 8 bytes
}

TEST_F(CallSiteTableTest, EncodedPointerFormats) {
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
    // Omitted, and formats without a meaning here: 0, cursor unchanged.
    for (uint8_t format : {0xFF, 0x05, 0x06, 0x07, 0x08, 0x0D, 0x0E, 0x0F})
        cases.push_back({format, eight, {0, 0}});
    for (const Case &c : cases) {
        const uint8_t *p = c.bytes.data();
        uint64_t value = encoded(c.encoding, &p);
        EXPECT_EQ(Read(value, p - c.bytes.data()), c.expected) << int(c.encoding);
    }
}

TEST_F(CallSiteTableTest, EncodedPointerBases) {
    static const int target = 1;
    static const int *slot = &target;
    // pc-relative: from the field's own address.
    uint8_t field[4];
    int32_t distance = static_cast<int32_t>(reinterpret_cast<intptr_t>(&slot) - reinterpret_cast<intptr_t>(field));
    bool near = reinterpret_cast<intptr_t>(&slot) - reinterpret_cast<intptr_t>(field) == distance;
    if (near) {
        std::memcpy(field, &distance, 4);
        const uint8_t *p = field;
        EXPECT_EQ(encoded(0x1B, &p), reinterpret_cast<uintptr_t>(&slot));
        p = field;
        EXPECT_EQ(encoded(0x9B, &p), reinterpret_cast<uintptr_t>(&target)); // indirect
    }
    uint8_t absolute[8];
    const int *const *slotAddress = &slot;
    std::memcpy(absolute, &slotAddress, 8);
    const uint8_t *p = absolute;
    EXPECT_EQ(encoded(0x80, &p), reinterpret_cast<uintptr_t>(&target));
    // Bases other than absolute and pc-relative read as 0.
    for (uint8_t base : {0x20, 0x30, 0x40, 0x50}) {
        p = absolute;
        EXPECT_EQ(encoded(static_cast<uint8_t>(base | 0x04), &p), 0u);
        EXPECT_EQ(p, absolute + 8);
    }
}

// FF 9B 0D 03 02 00 01 | action 01 00 | padding 00 00 00 | type entry 00 00 00 00
TEST_F(CallSiteTableTest, ZeroTypeEntryIsCatchAll) {
    std::vector<uint8_t> table = {0xFF, 0x9B, 0x0D, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0};
    TypeInfo thrown{plain(), "3Foo", nullptr};
    EXPECT_EQ(run(table, 1, &thrown), Outcome(true, 1, 0, 1, 0, 1));
    EXPECT_EQ(run(table, 1, nullptr), Outcome(true, 1, 0, 1, 0, 1));
}

// FF FF 03 04 00 00 01 00: no type table, two cleanup-only entries.
TEST_F(CallSiteTableTest, CleanupEntriesAndTheEndOfTheEntries) {
    std::vector<uint8_t> table = {0xFF, 0xFF, 0x03, 0x04, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(run(table, 2, nullptr), Outcome(false, 1, 1, 0, 1, 0));
    EXPECT_EQ(run(table, 3, nullptr), kCleared); // past the entries
    EXPECT_EQ(run(table, 0, nullptr), kCleared); // no current call
    EXPECT_EQ(run(table, -1, nullptr), kCleared);
    EXPECT_EQ(run({}, 1, nullptr), kCleared); // no table
    EXPECT_EQ(run({0xFF, 0xFF, 0x03, 0x00, 0x07, 0x00}, 1, nullptr), kCleared); // a length of nothing
    // A udata4 landing-pad base is read and skipped.
    EXPECT_EQ(run({0x03, 1, 2, 3, 4, 0xFF, 0x03, 0x04, 0x00, 0x00, 0x07, 0x00}, 2, nullptr),
              Outcome(false, 1, 1, 0, 7, 0));
}

// A table with a two-entry absolute type table (entry 1: first, entry 2: second) and the
// given action records; call site 1 (landing pad 4) starts at action 1.
std::vector<uint8_t> table_with_actions(const std::vector<uint8_t> &actions, const void *first, const void *second) {
    std::vector<uint8_t> rest = {0x03, 0x02, 0x04, 0x01};
    rest.insert(rest.end(), actions.begin(), actions.end());
    std::vector<uint8_t> types(16);
    std::memcpy(types.data(), &second, 8); // entry 2 lies further from the base
    std::memcpy(types.data() + 8, &first, 8);
    rest.insert(rest.end(), types.begin(), types.end());
    // The type-table offset counts from the end of its own ULEB128 to the base.
    std::vector<uint8_t> table = {0xFF, 0x00};
    for (size_t offset = rest.size();; offset >>= 7) {
        table.push_back(static_cast<uint8_t>((offset & 0x7F) | (offset >= 0x80 ? 0x80 : 0)));
        if (offset < 0x80)
            break;
    }
    table.insert(table.end(), rest.begin(), rest.end());
    return table;
}

TEST_F(CallSiteTableTest, ActionChainsInOrder) {
    TypeInfo base{plain(), "4Base", nullptr};
    TypeInfo mid{si(), "3Mid", &base};
    TypeInfo leaf{si(), "4Leaf", &mid};
    TypeInfo other{plain(), "5Other", nullptr};
    // filter 2 (Other), then filter 1 (Mid): a Leaf is caught by the second record.
    auto chain = table_with_actions({0x02, 0x01, 0x01, 0x00}, &mid, &other);
    EXPECT_EQ(run(chain, 1, &leaf), Outcome(true, 1, 0, 1, 4, 1));
    EXPECT_EQ(run(chain, 1, &other), Outcome(true, 1, 0, 1, 4, 2));
    EXPECT_EQ(run(chain, 1, &base), Outcome(false, 1, 0, 0, 4, 0)); // an ancestor is not a Mid
    // filter 0 (cleanup), then filter 1: caught, and the cleanup is noted.
    EXPECT_EQ(run(table_with_actions({0x00, 0x01, 0x01, 0x00}, &mid, &other), 1, &mid), Outcome(true, 1, 1, 1, 4, 1));
    // Negative filters only (throw() lists): nothing.
    EXPECT_EQ(run(table_with_actions({0x7F, 0x01, 0x7E, 0x00}, &mid, &other), 1, &mid), Outcome(false, 1, 0, 0, 4, 0));
}

TEST_F(CallSiteTableTest, ActionChainsAreCutAfterSixtyFourRecords) {
    TypeInfo mid{plain(), "3Mid", nullptr};
    TypeInfo other{plain(), "5Other", nullptr};
    const Outcome notFound(false, 1, 0, 0, 4, 0);
    // One record that points back at itself: filter -1, displacement -1.
    EXPECT_EQ(run(table_with_actions({0x7F, 0x7F, 0x00, 0x00}, &mid, &other), 1, &mid), notFound);
    // 63 skipped records and then a catch: found. One more skipped record: cut off.
    auto chain_of = [&](int skipped) {
        std::vector<uint8_t> actions;
        for (int i = 0; i < skipped; ++i)
            actions.insert(actions.end(), {0x7F, 0x01});
        actions.insert(actions.end(), {0x01, 0x00});
        return table_with_actions(actions, &mid, &other);
    };
    EXPECT_EQ(run(chain_of(63), 1, &mid), Outcome(true, 1, 0, 1, 4, 1));
    EXPECT_EQ(run(chain_of(64), 1, &mid), notFound);
}

TEST_F(CallSiteTableTest, UnusableTypeEntriesCatchEverything) {
    TypeInfo thrown{plain(), "3Foo", nullptr};
    // No type table at all; a type-table format without a fixed size (uleb128).
    EXPECT_EQ(run({0xFF, 0xFF, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00}, 1, &thrown), Outcome(true, 1, 0, 1, 0, 1));
    EXPECT_EQ(run({0xFF, 0x01, 0x05, 0x03, 0x02, 0x00, 0x01, 0x01, 0x00, 0x55, 0x55}, 1, &thrown),
              Outcome(true, 1, 0, 1, 0, 1));
    // A filter whose low 32 bits are negative.
    EXPECT_EQ(run({0xFF, 0x03, 0x0B, 0x03, 0x02, 0x00, 0x01, 0x80, 0x80, 0x80, 0x80, 0x08, 0x00, 0x55, 0x55}, 1,
                  &thrown),
              Outcome(true, 1, 0, 1, 0, int32_t(0x80000000u)));
}

TEST_F(CallSiteTableTest, TypeMatching) {
    TypeInfo base{plain(), "4Base", nullptr};
    TypeInfo mid{si(), "3Mid", &base};
    TypeInfo leaf{si(), "4Leaf", &mid};
    TypeInfo leafElsewhere{si(), "4Leaf", &mid};
    TypeInfo both{vmi(), "4Both", &base}; // the third word is not a base for this kind
    TypeInfo unnamed{plain(), nullptr, nullptr};
    TypeInfo alsoUnnamed{plain(), nullptr, nullptr};
    TypeInfo pointer{plain(), "P4Leaf", nullptr};
    TypeInfo constPointer{plain(), "PK4Leaf", nullptr};
    TypeInfo basePointer{plain(), "P4Base", nullptr};
    TypeInfo prefix{plain(), "4Lea", nullptr};

    EXPECT_TRUE(matches(&leaf, &leaf));
    EXPECT_TRUE(matches(&leaf, &leafElsewhere));
    EXPECT_TRUE(matches(&leaf, &mid));
    EXPECT_TRUE(matches(&leaf, &base));
    EXPECT_FALSE(matches(&base, &leaf));
    EXPECT_FALSE(matches(&mid, &leaf));
    EXPECT_TRUE(matches(&both, &both));
    EXPECT_FALSE(matches(&both, &base));
    EXPECT_FALSE(matches(&pointer, &basePointer));
    EXPECT_FALSE(matches(&pointer, &constPointer));
    EXPECT_FALSE(matches(&leaf, &prefix));
    EXPECT_FALSE(matches(&prefix, &leaf));
    EXPECT_TRUE(matches(&unnamed, &alsoUnnamed)); // both names null
    EXPECT_FALSE(matches(&unnamed, &base));
    EXPECT_FALSE(matches(&base, &unnamed));
    EXPECT_TRUE(matches(&leaf, nullptr));
    EXPECT_TRUE(matches(nullptr, nullptr));
    EXPECT_FALSE(matches(nullptr, &base));
}

} // namespace
} // namespace lbw::test
