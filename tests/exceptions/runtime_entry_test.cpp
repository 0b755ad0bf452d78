// The exception entry points called directly: allocation, the caught stack, the
// type_info objects of the fundamental types, and every path that must stop the machine.
#include "tests/exceptions/exceptions_fixture.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace lbw::test {
namespace {

class RuntimeEntryTest : public ExceptionsTest {
protected:
    void *allocate(size_t size) { return fn<void *(size_t)>("__cxa_allocate_exception")(size); }
    void free_exception(void *object) { fn<void(void *)>("__cxa_free_exception")(object); }
    void *begin_catch(ExceptionHeader *header) { return fn<void *(void *)>("__cxa_begin_catch")(exception_of(header)); }
    void end_catch() { fn<void()>("__cxa_end_catch")(); }
    bool freed(const void *block) {
        for (void *p : host().heap().freed)
            if (p == block)
                return true;
        return false;
    }
    // An exception whose destruction is recorded.
    ExceptionHeader *recorded_exception() {
        ExceptionHeader *header = header_of(allocate(4));
        header->exceptionDestructor = [](void *object) { gDestroyed.push_back(object); };
        return header;
    }
    static inline std::vector<void *> gDestroyed;
};

TEST_F(RuntimeEntryTest, AllocationZeroesTheWholeBlock) {
    auto *dirty = static_cast<unsigned char *>(fn<void *(size_t)>("malloc")(200));
    std::memset(dirty, 0xAA, 200);
    fn<void(void *)>("free")(dirty);
    host().heap().malloc_sizes.clear();
    auto *object = static_cast<unsigned char *>(allocate(100));
    EXPECT_EQ(host().heap().malloc_sizes, std::vector<uint64_t>{sizeof(ExceptionHeader) + 100});
    auto *block = reinterpret_cast<unsigned char *>(header_of(object));
    for (size_t i = 0; i < sizeof(ExceptionHeader) + 100; ++i)
        ASSERT_EQ(block[i], 0) << "byte " << i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
    free_exception(object);
    EXPECT_TRUE(freed(block));

    // An empty object still gets one byte of storage.
    object = static_cast<unsigned char *>(allocate(0));
    EXPECT_EQ(host().heap().malloc_sizes.back(), sizeof(ExceptionHeader) + 1);
    EXPECT_EQ(object[0], 0);
    free_exception(object);
    size_t frees = host().heap().freed.size();
    free_exception(nullptr);
    EXPECT_EQ(host().heap().freed.size(), frees) << "freeing null does nothing";
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_F(RuntimeEntryTest, AllocationFailuresTerminate) {
    host().heap().fail = [](uint64_t size) {
        std::fprintf(stderr, "malloc %llu", static_cast<unsigned long long>(size));
        return true;
    };
    EXPECT_EXIT(allocate(16), ::testing::KilledBySignal(SIGSEGV), "^malloc 64$");
    // Sizes whose sum with the header overflows never reach the heap.
    EXPECT_EXIT(allocate(SIZE_MAX), ::testing::KilledBySignal(SIGSEGV), "^$");
    EXPECT_EXIT(allocate(SIZE_MAX - sizeof(ExceptionHeader) + 1), ::testing::KilledBySignal(SIGSEGV), "^$");
    host().heap().fail = nullptr;
}

// A heap that hands out blocks at any address the test chooses; the library must give
// back a block it cannot use without touching it.
uintptr_t gNextBlock;
void *malloc_at_chosen_address(uint64_t) {
    return reinterpret_cast<void *>(gNextBlock);
}
void free_reporting(void *block) {
    std::fprintf(stderr, "freed %llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
}

TEST_F(RuntimeEntryTest, BlockNotWhollyBelow4GiBIsFreedAndTerminates) {
    host().set_entry(LM_ENTRY_MALLOC, malloc_at_chosen_address);
    host().set_entry(LM_ENTRY_FREE, free_reporting);
    gNextBlock = 0x100000000;
    EXPECT_EXIT(allocate(8), ::testing::KilledBySignal(SIGSEGV), "^freed 100000000$");
    gNextBlock = 0xFFFFFFF0; // starts below, ends above
    EXPECT_EXIT(allocate(8), ::testing::KilledBySignal(SIGSEGV), "^freed fffffff0$");

    // A block ending exactly at 4 GiB is used.
    void *page = mmap(reinterpret_cast<void *>(0xFFFFF000), 4096, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (page != MAP_FAILED) {
        gNextBlock = 0x100000000 - sizeof(ExceptionHeader) - 16;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(allocate(16)), 0x100000000 - 16);
        munmap(page, 4096);
    }
    host().set_entry(LM_ENTRY_MALLOC, sim::HostHeap::host_malloc);
    host().set_entry(LM_ENTRY_FREE, sim::HostHeap::host_free);
}

TEST_F(RuntimeEntryTest, NestedCatchesEndInReverseOrder) {
    EXPECT_EQ(begin_catch(nullptr), nullptr);
    end_catch(); // an empty stack: nothing
    EXPECT_TRUE(host().heap().freed.empty());

    ExceptionHeader *first = recorded_exception(), *second = recorded_exception();
    ExceptionHeader *silent = header_of(allocate(4)); // no destructor
    gDestroyed.clear();
    EXPECT_EQ(begin_catch(first), first + 1);
    EXPECT_EQ(begin_catch(second), second + 1);
    EXPECT_EQ(second->nextCaught, first);
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{second + 1});
    EXPECT_TRUE(freed(second));
    EXPECT_FALSE(freed(first));
    end_catch();
    EXPECT_EQ(gDestroyed, (std::vector<void *>{second + 1, first + 1}));
    EXPECT_TRUE(freed(first));
    begin_catch(silent);
    end_catch();
    EXPECT_TRUE(freed(silent));
}

TEST_F(RuntimeEntryTest, RethrownObjectSurvivesTheEndOfItsCatch) {
    ExceptionHeader *header = recorded_exception();
    gDestroyed.clear();
    begin_catch(header);
    header->rethrown = 1; // as __cxa_rethrow leaves it
    end_catch();
    EXPECT_TRUE(gDestroyed.empty());
    EXPECT_FALSE(freed(header));
    EXPECT_EQ(header->nextCaught, nullptr);
    begin_catch(header); // the next handler
    EXPECT_EQ(header->rethrown, 0);
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{header + 1});
    EXPECT_TRUE(freed(header));
}

// The object on top of the caught stack caught again (a rethrow caught inside its own
// catch block) is held twice and destroyed when the outer catch ends.
TEST_F(RuntimeEntryTest, ObjectCaughtAgainWhileOnTopIsHeldTwice) {
    ExceptionHeader *header = recorded_exception();
    gDestroyed.clear();
    begin_catch(header);
    header->rethrown = 1;
    begin_catch(header);
    EXPECT_EQ(header->nextCaught, nullptr); // not linked to itself
    EXPECT_EQ(header->rethrown, 0);
    end_catch();
    EXPECT_TRUE(gDestroyed.empty());
    EXPECT_FALSE(freed(header));
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{header + 1});
    EXPECT_TRUE(freed(header));
    end_catch(); // the stack is empty again
    EXPECT_EQ(gDestroyed.size(), 1u);
}

TEST_F(RuntimeEntryTest, PointerTypesHandTheStoredPointerToTheHandler) {
    auto exception_ptr = fn<void *(void *)>("__cxa_get_exception_ptr");
    static const char text[] = "text";
    void *object = allocate(sizeof(const char *));
    *static_cast<const char **>(object) = text;
    header_of(object)->exceptionType = lib().symbol("_ZTIPKc");
    EXPECT_EQ(begin_catch(header_of(object)), text);
    EXPECT_EQ(exception_ptr(exception_of(header_of(object))), object);
    end_catch();

    void *number = allocate(sizeof(int));
    header_of(number)->exceptionType = lib().symbol("_ZTIi");
    EXPECT_EQ(exception_ptr(exception_of(header_of(number))), number);
    EXPECT_EQ(begin_catch(header_of(number)), number);
    end_catch();
    EXPECT_EQ(exception_ptr(nullptr), nullptr);
}

TEST_F(RuntimeEntryTest, TypeInfoObjectsFollowTheAbiLayout) {
    struct TypeInfo {
        const void *vtable;
        const char *name;
        uint32_t flags; // pointer types only
        const TypeInfo *pointee;
    };
    auto address_point = [&](std::string kind) {
        auto *words = static_cast<void **>(lib().symbol(("_ZTVN10__cxxabiv1" + kind + "_type_infoE").c_str()));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(words[i], nullptr) << kind;
        return static_cast<const void *>(words + 2);
    };
    for (const char *kind : {"17__class", "20__si_class", "21__vmi_class", "29__pointer_to_member", "20__function",
                             "16__enum", "17__array"})
        address_point(kind);
    const void *fundamental = address_point("23__fundamental"), *pointer = address_point("19__pointer");

    for (std::string code : {"v", "b", "c", "a", "h", "w", "Du", "Ds", "Di", "s", "t", "i", "j", "l", "m", "x", "y",
                             "n", "o", "f", "d", "e", "Dn"}) {
        auto *type = static_cast<const TypeInfo *>(lib().symbol(("_ZTI" + code).c_str()));
        EXPECT_EQ(type->vtable, fundamental) << code;
        EXPECT_EQ(std::string(type->name), code);
        for (std::string qualifier : {"", "K"}) {
            auto *p = static_cast<const TypeInfo *>(lib().symbol(("_ZTIP" + qualifier + code).c_str()));
            EXPECT_EQ(p->vtable, pointer) << code;
            EXPECT_EQ(std::string(p->name), "P" + qualifier + code);
            EXPECT_EQ(p->flags, qualifier.empty() ? 0u : 1u);
            EXPECT_EQ(p->pointee, type);
        }
    }
}

TEST_F(RuntimeEntryTest, DynamicCastOfNothingIsNull) {
    auto dynamic_cast_fn = fn<void *(const void *, const void *, const void *, ptrdiff_t)>("__dynamic_cast");
    EXPECT_EQ(dynamic_cast_fn(nullptr, nullptr, lib().symbol("_ZTIi"), 0), nullptr);
    int object = 0;
    EXPECT_EQ(dynamic_cast_fn(&object, nullptr, nullptr, 0), nullptr);
}

TEST_F(RuntimeEntryTest, TerminationPathsStopTheMachine) {
    void *object = allocate(sizeof(int));
    void *exception = exception_of(header_of(object));
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
    free_exception(object);
}

} // namespace
} // namespace lbw::test
