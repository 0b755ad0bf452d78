// The exception entry points called directly: allocation, the caught stack, the frame
// list, the type_info objects of the fundamental types, and the paths that must stop
// the machine.
#include "cxxabi/type_info.h"
#include "tests/exceptions/exceptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace lbw::test {
namespace {

class RuntimeTest : public ExceptionsTest {
protected:
    void *begin_catch(void *object) { return fn<void *(void *)>("__cxa_begin_catch")(object ? exception_of(object) : nullptr); }
    void end_catch() { fn<void()>("__cxa_end_catch")(); }
    bool freed(void *object) {
        auto &list = host().heap().freed;
        return std::find(list.begin(), list.end(), header_of(object)) != list.end();
    }
    // An exception whose destruction is recorded.
    void *recorded_exception() {
        void *object = allocate(4);
        header_of(object)->exceptionDestructor = [](void *o) { gDestroyed.push_back(o); };
        return object;
    }
    static inline std::vector<void *> gDestroyed;
};

TEST_F(RuntimeTest, AllocationZeroesHeaderAndObject) {
    void *dirty = fn<void *(size_t)>("malloc")(200);
    std::memset(dirty, 0xAA, 200);
    fn<void(void *)>("free")(dirty);
    for (size_t size : {100, 0}) {
        auto *object = static_cast<unsigned char *>(allocate(size));
        size_t block = sizeof(LorrinExceptionHeader) + (size ? size : 1); // an empty object gets one byte
        EXPECT_EQ(host().heap().malloc_sizes.back(), block);
        auto *bytes = reinterpret_cast<unsigned char *>(header_of(object));
        EXPECT_EQ(std::count(bytes, bytes + block, 0), static_cast<long>(block));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
        fn<void(void *)>("__cxa_free_exception")(object);
        EXPECT_TRUE(freed(object));
    }
    fn<void(void *)>("__cxa_free_exception")(nullptr);
    EXPECT_EQ(host().heap().freed.size(), 3u);
}

uintptr_t gNextBlock;

// No memory, a size that overflows with the header, or a block not wholly below 4 GiB
// (which a landing pad could not receive) end in terminate; the block goes back.
TEST_F(RuntimeTest, AllocationFailuresTerminate) {
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(allocate(16));
    host().heap().fail = nullptr;
    EXPECT_HALTS(allocate(SIZE_MAX - sizeof(LorrinExceptionHeader) + 1));
    host().set_entry(LM_ENTRY_MALLOC, +[](uint64_t) { return reinterpret_cast<void *>(gNextBlock); });
    host().set_entry(LM_ENTRY_FREE, +[](void *block) { std::fprintf(stderr, "freed %p", block); });
    for (auto [address, report] : {std::pair{0x100000000ul, "^freed 0x100000000$"}, {0xFFFFFFF0ul, "^freed 0xfffffff0$"}}) {
        gNextBlock = address; // above, and across 4 GiB
        EXPECT_EXIT(allocate(8), ::testing::KilledBySignal(SIGSEGV), report);
    }
    host().reset();
}

TEST_F(RuntimeTest, CatchesEndInReverseOrderAndRethrownObjectsSurvive) {
    EXPECT_EQ(begin_catch(nullptr), nullptr);
    end_catch(); // an empty stack: nothing
    EXPECT_TRUE(host().heap().freed.empty());
    void *first = recorded_exception(), *second = recorded_exception(), *silent = allocate(4);
    EXPECT_EQ(begin_catch(first), first);
    EXPECT_EQ(begin_catch(second), second);
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{second});
    EXPECT_FALSE(freed(first));
    end_catch();
    EXPECT_EQ(gDestroyed, (std::vector<void *>{second, first}));
    EXPECT_TRUE(freed(first) && freed(second));
    begin_catch(silent); // no destructor
    end_catch();
    EXPECT_TRUE(freed(silent));

    // Rethrown: survives the end of its catch; caught again while on top (a rethrow
    // caught inside its own catch block): held twice.
    void *object = recorded_exception();
    gDestroyed.clear();
    host().heap().freed.clear();
    begin_catch(object);
    header_of(object)->rethrown = 1;
    end_catch();
    EXPECT_FALSE(freed(object));
    begin_catch(object);
    header_of(object)->rethrown = 1;
    begin_catch(object);
    EXPECT_EQ(header_of(object)->nextCaught, nullptr);
    EXPECT_EQ(header_of(object)->rethrown, 0);
    end_catch();
    EXPECT_TRUE(gDestroyed.empty());
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{object});
    EXPECT_TRUE(freed(object));
}

TEST_F(RuntimeTest, FramesUnregisterInAnyOrder) {
    auto push = fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Register");
    auto pop = fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Unregister");
    LorrinSjLjContext a{}, b{}, stranger{}, probe{};
    a.callSite = 3;
    push(&a);
    push(&b);
    EXPECT_EQ(b.prev, &a);
    EXPECT_EQ(a.callSite, 3) << "registering touches only the link";
    stranger.prev = &a;
    pop(&stranger); // never registered: nothing changes
    pop(&a);        // unlinked from behind b
    EXPECT_EQ(b.prev, nullptr);
    push(&probe);
    EXPECT_EQ(probe.prev, &b);
    pop(&probe);
    pop(&b);
}

// Fundamental types, and pointers and pointers to const of each.
TEST_F(RuntimeTest, TypeInfoObjectsFollowTheAbiLayout) {
    auto address_point = [&](std::string kind) {
        return static_cast<LorrinTypeInfoVtable *>(lib().symbol(("_ZTVN10__cxxabiv1" + kind + "_type_infoE").c_str()));
    };
    for (std::string code : {"v", "b", "c", "a", "h", "w", "Du", "Ds", "Di", "s", "t", "i", "j", "l", "m", "x", "y",
                             "n", "o", "f", "d", "e", "Dn"}) {
        auto *type = static_cast<const LorrinTypeInfo *>(lib().symbol(("_ZTI" + code).c_str()));
        EXPECT_EQ(type->vtable, address_point("23__fundamental")->address_point()) << code;
        EXPECT_EQ(type->name, code);
        for (std::string qualifier : {"", "K"}) {
            auto *p = static_cast<const LorrinPointerTypeInfo *>(lib().symbol(("_ZTIP" + qualifier + code).c_str()));
            EXPECT_EQ(p->info.vtable, address_point("19__pointer")->address_point()) << code;
            EXPECT_EQ(p->info.name, "P" + qualifier + code);
            EXPECT_EQ(p->flags, qualifier.empty() ? 0u : kPointeeConst);
            EXPECT_EQ(p->pointee, type);
        }
    }
    for (const char *kind : {"17__class", "20__si_class", "21__vmi_class", "29__pointer_to_member", "20__function",
                             "16__enum", "17__array", "23__fundamental", "19__pointer"})
        EXPECT_EQ(std::count(address_point(kind)->words, address_point(kind)->words + 4, nullptr), 4) << kind;
}

TEST_F(RuntimeTest, NullsAndTerminationPaths) {
    auto dynamic_cast_fn = fn<void *(const void *, const void *, const void *, ptrdiff_t)>("__dynamic_cast");
    int object = 0;
    EXPECT_EQ(dynamic_cast_fn(nullptr, nullptr, lib().symbol("_ZTIi"), 0), nullptr);
    EXPECT_EQ(dynamic_cast_fn(&object, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(nullptr), nullptr);

    // Nothing handled, forced unwinding, the table-driven model; and the empty frame list.
    for (const char *name : {"_ZSt9terminatev", "__cxa_bad_cast", "__cxa_bad_typeid", "__cxa_deleted_virtual",
                             "__cxa_throw_bad_array_new_length", "__cxa_rethrow", "_Unwind_SjLj_ForcedUnwind",
                             "_Unwind_Resume"})
        EXPECT_HALTS(fn<void()>(name)()) << name;
    void *thrown = allocate(sizeof(int));
    EXPECT_HALTS(fn<void(void *, const void *, void *)>("__cxa_throw")(thrown, lib().symbol("_ZTIi"), nullptr));
    for (const char *name : {"_Unwind_SjLj_RaiseException", "_Unwind_SjLj_Resume", "_Unwind_SjLj_Resume_or_Rethrow",
                             "__clang_call_terminate"})
        EXPECT_HALTS(fn<void(void *)>(name)(exception_of(thrown))) << name;
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_Resume")(nullptr));
    fn<void(void *)>("__cxa_free_exception")(thrown);
}

} // namespace
} // namespace lbw::test
