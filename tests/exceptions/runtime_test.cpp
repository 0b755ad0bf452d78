// The exception entry points called directly: allocation, the caught stack, the frame
// list, the type_info objects of the fundamental types, and every path that must stop
// the machine.
#include "cxxabi/type_info.h"
#include "tests/exceptions/exceptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace lbw::test {
namespace {

class RuntimeTest : public ExceptionsTest {
protected:
    void *begin_catch(void *object) { return fn<void *(void *)>("__cxa_begin_catch")(exception_of(object)); }
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
    auto *dirty = static_cast<unsigned char *>(fn<void *(size_t)>("malloc")(200));
    std::memset(dirty, 0xAA, 200);
    fn<void(void *)>("free")(dirty);
    host().heap().malloc_sizes.clear();
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
    size_t frees = host().heap().freed.size();
    fn<void(void *)>("__cxa_free_exception")(nullptr);
    EXPECT_EQ(host().heap().freed.size(), frees);
}

uintptr_t gNextBlock;
void *malloc_at_chosen_address(uint64_t) {
    return reinterpret_cast<void *>(gNextBlock);
}
void free_reporting(void *block) {
    std::fprintf(stderr, "freed %llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
}

// No memory, a size that overflows with the header, or a block not wholly below 4 GiB
// (which a landing pad could not receive) end in terminate; the block goes back.
TEST_F(RuntimeTest, AllocationFailuresTerminate) {
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(allocate(16));
    host().heap().fail = nullptr;
    EXPECT_HALTS(allocate(SIZE_MAX - sizeof(LorrinExceptionHeader) + 1));
    host().set_entry(LM_ENTRY_MALLOC, malloc_at_chosen_address);
    host().set_entry(LM_ENTRY_FREE, free_reporting);
    for (auto [address, report] : {std::pair{0x100000000ul, "^freed 100000000$"}, {0xFFFFFFF0ul, "^freed fffffff0$"}}) {
        gNextBlock = address; // above, and across 4 GiB
        EXPECT_EXIT(allocate(8), ::testing::KilledBySignal(SIGSEGV), report);
    }
    host().set_entry(LM_ENTRY_MALLOC, sim::HostHeap::host_malloc);
    host().set_entry(LM_ENTRY_FREE, sim::HostHeap::host_free);
}

TEST_F(RuntimeTest, CatchesEndInReverseOrderAndRethrownObjectsSurvive) {
    EXPECT_EQ(fn<void *(void *)>("__cxa_begin_catch")(nullptr), nullptr);
    end_catch(); // an empty stack: nothing
    EXPECT_TRUE(host().heap().freed.empty());

    void *first = recorded_exception(), *second = recorded_exception(), *silent = allocate(4);
    gDestroyed.clear();
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

TEST_F(RuntimeTest, TypeInfoObjectsFollowTheAbiLayout) {
    auto address_point = [&](std::string kind) {
        auto *vtable = static_cast<LorrinTypeInfoVtable *>(lib().symbol(("_ZTVN10__cxxabiv1" + kind + "_type_infoE").c_str()));
        EXPECT_EQ(std::count(vtable->words, vtable->words + 4, nullptr), 4) << kind;
        return vtable->address_point();
    };
    for (const char *kind : {"17__class", "20__si_class", "21__vmi_class", "29__pointer_to_member", "20__function",
                             "16__enum", "17__array"})
        address_point(kind);
    const void *fundamental = address_point("23__fundamental"), *pointer = address_point("19__pointer");
    for (std::string code : {"v", "b", "c", "a", "h", "w", "Du", "Ds", "Di", "s", "t", "i", "j", "l", "m", "x", "y",
                             "n", "o", "f", "d", "e", "Dn"}) {
        auto *type = static_cast<const LorrinTypeInfo *>(lib().symbol(("_ZTI" + code).c_str()));
        EXPECT_EQ(type->vtable, fundamental) << code;
        EXPECT_EQ(type->name, code);
        for (std::string qualifier : {"", "K"}) {
            auto *p = static_cast<const LorrinPointerTypeInfo *>(lib().symbol(("_ZTIP" + qualifier + code).c_str()));
            EXPECT_EQ(p->info.vtable, pointer) << code;
            EXPECT_EQ(p->info.name, "P" + qualifier + code);
            EXPECT_EQ(p->flags, qualifier.empty() ? 0u : kPointeeConst);
            EXPECT_EQ(p->pointee, type);
        }
    }
}

TEST_F(RuntimeTest, NullArgumentsGiveNull) {
    auto dynamic_cast_fn = fn<void *(const void *, const void *, const void *, ptrdiff_t)>("__dynamic_cast");
    int object = 0;
    EXPECT_EQ(dynamic_cast_fn(nullptr, nullptr, lib().symbol("_ZTIi"), 0), nullptr);
    EXPECT_EQ(dynamic_cast_fn(&object, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(nullptr), nullptr);
}

TEST_F(RuntimeTest, TerminationPathsStopTheMachine) {
    void *object = allocate(sizeof(int));
    void *exception = exception_of(object);
    auto call = [&](const char *name) { return [this, name] { fn<void()>(name)(); }; };
    auto call_with = [&](const char *name, void *argument) {
        return [this, name, argument] { fn<void(void *)>(name)(argument); };
    };
    const std::function<void()> paths[] = {
        call("_ZSt9terminatev"), call("__cxa_bad_cast"), call("__cxa_bad_typeid"), call("__cxa_deleted_virtual"),
        call("__cxa_throw_bad_array_new_length"), call("__cxa_rethrow"), // nothing is being handled
        [this] { fn<void(void *, void *, void *)>("_Unwind_SjLj_ForcedUnwind")(nullptr, nullptr, nullptr); },
        call_with("_Unwind_Resume", nullptr),
        // An empty frame list.
        [this, object] { fn<void(void *, const void *, void *)>("__cxa_throw")(object, lib().symbol("_ZTIi"), nullptr); },
        call_with("_Unwind_SjLj_RaiseException", exception), call_with("_Unwind_SjLj_Resume", exception),
        call_with("_Unwind_SjLj_Resume_or_Rethrow", exception), call_with("_Unwind_SjLj_Resume", nullptr),
        call_with("__clang_call_terminate", exception),
    };
    for (size_t i = 0; i < std::size(paths); ++i)
        EXPECT_HALTS(paths[i]()) << "path " << i;
    fn<void(void *)>("__cxa_free_exception")(object);
}

} // namespace
} // namespace lbw::test
