// The exception entry points called directly: allocation, the caught stack, the
// type_info objects of the fundamental types, and every path that must stop the machine.
#include "tests/exceptions/exceptions_fixture.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace lbw::test {
namespace {

class RuntimeEntryTest : public ExceptionsTest {
protected:
    void *allocate(size_t size) { return fn<void *(size_t)>("__cxa_allocate_exception")(size); }
    void free_exception(void *object) { fn<void(void *)>("__cxa_free_exception")(object); }
    void *begin_catch(void *header) { return fn<void *(void *)>("__cxa_begin_catch")(header); }
    void end_catch() { fn<void()>("__cxa_end_catch")(); }
    void restore_heap_entries() {
        host().set_entry(LM_ENTRY_MALLOC, sim::HostHeap::host_malloc);
        host().set_entry(LM_ENTRY_FREE, sim::HostHeap::host_free);
    }
    bool freed(const void *block) {
        for (void *p : host().heap().freed)
            if (p == block)
                return true;
        return false;
    }
};

std::vector<void *> gDestroyed;
void record_destruction(void *object) {
    gDestroyed.push_back(object);
}

TEST_F(RuntimeEntryTest, ZeroSizedObjectGetsOneZeroByte) {
    host().heap().malloc_sizes.clear();
    auto *object = static_cast<unsigned char *>(allocate(0));
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(host().heap().malloc_sizes.size(), 1u);
    EXPECT_EQ(host().heap().malloc_sizes[0], sizeof(ExceptionHeader) + 1);
    EXPECT_EQ(object[0], 0);
    free_exception(object);
    EXPECT_TRUE(freed(header_of(object)));
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_F(RuntimeEntryTest, BlockIsZeroedWhateverTheHeapHeld) {
    auto malloc_fn = fn<void *(size_t)>("malloc");
    auto *dirty = static_cast<unsigned char *>(malloc_fn(200));
    std::memset(dirty, 0xAA, 200);
    fn<void(void *)>("free")(dirty);
    auto *object = static_cast<unsigned char *>(allocate(100));
    auto *block = reinterpret_cast<unsigned char *>(header_of(object));
    for (size_t i = 0; i < sizeof(ExceptionHeader) + 100; ++i)
        ASSERT_EQ(block[i], 0) << "byte " << i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
    free_exception(object);
}

TEST_F(RuntimeEntryTest, FreeOfNullDoesNothing) {
    free_exception(nullptr);
    EXPECT_TRUE(host().heap().freed.empty());
}

TEST_F(RuntimeEntryTest, HeapExhaustionTerminates) {
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(allocate(16));
    host().heap().fail = nullptr;
}

TEST_F(RuntimeEntryTest, OversizedObjectTerminatesWithoutAskingTheHeap) {
    host().heap().fail = [](uint64_t size) {
        std::fprintf(stderr, "malloc %llu", static_cast<unsigned long long>(size));
        return true;
    };
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
    restore_heap_entries();
}

TEST_F(RuntimeEntryTest, BlockEndingExactlyAt4GiBIsUsed) {
    void *page = mmap(reinterpret_cast<void *>(0xFFFFF000), 4096, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (page == MAP_FAILED)
        GTEST_SKIP() << "the page below 4 GiB is taken";
    host().set_entry(LM_ENTRY_MALLOC, malloc_at_chosen_address);
    gNextBlock = 0x100000000 - sizeof(ExceptionHeader) - 16;
    void *object = allocate(16);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object), 0x100000000 - 16);
    munmap(page, 4096);
    restore_heap_entries();
}

TEST_F(RuntimeEntryTest, BeginCatchOfNullChangesNothing) {
    EXPECT_EQ(begin_catch(nullptr), nullptr);
    end_catch(); // empty stack: nothing
    EXPECT_TRUE(host().heap().freed.empty());
}

TEST_F(RuntimeEntryTest, NestedCatchesEndInReverseOrder) {
    void *first = allocate(4);
    void *second = allocate(4);
    header_of(first)->exceptionDestructor = record_destruction;
    header_of(second)->exceptionDestructor = record_destruction;
    gDestroyed.clear();
    EXPECT_EQ(begin_catch(header_of(first)), first);
    EXPECT_EQ(begin_catch(header_of(second)), second);
    EXPECT_EQ(header_of(second)->nextCaught, header_of(first));
    end_catch();
    EXPECT_EQ(gDestroyed, std::vector<void *>{second});
    EXPECT_TRUE(freed(header_of(second)));
    EXPECT_FALSE(freed(header_of(first)));
    end_catch();
    EXPECT_EQ(gDestroyed, (std::vector<void *>{second, first}));
    EXPECT_TRUE(freed(header_of(first)));
}

TEST_F(RuntimeEntryTest, NullDestructorIsFreedWithoutACall) {
    void *object = allocate(4);
    begin_catch(header_of(object));
    end_catch();
    EXPECT_TRUE(freed(header_of(object)));
}

TEST_F(RuntimeEntryTest, RethrownObjectSurvivesTheEndOfItsCatch) {
    void *object = allocate(4);
    ExceptionHeader *header = header_of(object);
    header->exceptionDestructor = record_destruction;
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
    EXPECT_EQ(gDestroyed, std::vector<void *>{object});
    EXPECT_TRUE(freed(header));
}

// The object on top of the caught stack caught again (a rethrow caught inside its own
// catch block) is held twice and destroyed when the outer catch ends.
TEST_F(RuntimeEntryTest, ObjectCaughtAgainWhileOnTopIsHeldTwice) {
    void *object = allocate(4);
    ExceptionHeader *header = header_of(object);
    header->exceptionDestructor = record_destruction;
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
    EXPECT_EQ(gDestroyed, std::vector<void *>{object});
    EXPECT_TRUE(freed(header));
    end_catch(); // the stack is empty again
    EXPECT_EQ(gDestroyed.size(), 1u);
}

TEST_F(RuntimeEntryTest, PointerTypesHandTheStoredPointerToTheHandler) {
    static const char text[] = "text";
    void *object = allocate(sizeof(const char *));
    *static_cast<const char **>(object) = text;
    header_of(object)->exceptionType = lib().symbol("_ZTIPKc");
    EXPECT_EQ(begin_catch(header_of(object)), text);
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(header_of(object)), object);
    end_catch();

    void *number = allocate(sizeof(int));
    header_of(number)->exceptionType = lib().symbol("_ZTIi");
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(header_of(number)), number);
    EXPECT_EQ(begin_catch(header_of(number)), number);
    end_catch();
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(nullptr), nullptr);
}

struct TypeInfo {
    const void *vtable;
    const char *name;
};
struct PointerTypeInfo {
    TypeInfo info;
    uint32_t flags;
    const TypeInfo *pointee;
};

TEST_F(RuntimeEntryTest, FundamentalTypeInfosFollowTheAbiLayout) {
    auto address_point = [&](const char *vtable) {
        auto *words = static_cast<void **>(lib().symbol(vtable));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(words[i], nullptr) << vtable;
        return static_cast<const void *>(words + 2);
    };
    const void *fundamental = address_point("_ZTVN10__cxxabiv123__fundamental_type_infoE");
    const void *pointer = address_point("_ZTVN10__cxxabiv119__pointer_type_infoE");
    for (const char *vtable : {"_ZTVN10__cxxabiv117__class_type_infoE", "_ZTVN10__cxxabiv120__si_class_type_infoE",
                               "_ZTVN10__cxxabiv121__vmi_class_type_infoE",
                               "_ZTVN10__cxxabiv129__pointer_to_member_type_infoE",
                               "_ZTVN10__cxxabiv120__function_type_infoE", "_ZTVN10__cxxabiv116__enum_type_infoE",
                               "_ZTVN10__cxxabiv117__array_type_infoE"})
        address_point(vtable);

    for (std::string code : {"v", "b", "c", "a", "h", "w", "Du", "Ds", "Di", "s", "t", "i", "j", "l", "m", "x", "y",
                             "n", "o", "f", "d", "e", "Dn"}) {
        auto *type = static_cast<const TypeInfo *>(lib().symbol(("_ZTI" + code).c_str()));
        EXPECT_EQ(type->vtable, fundamental) << code;
        EXPECT_EQ(std::string(type->name), code);
        auto *plain = static_cast<const PointerTypeInfo *>(lib().symbol(("_ZTIP" + code).c_str()));
        EXPECT_EQ(plain->info.vtable, pointer) << code;
        EXPECT_EQ(std::string(plain->info.name), "P" + code);
        EXPECT_EQ(plain->flags, 0u);
        EXPECT_EQ(plain->pointee, type);
        auto *constant = static_cast<const PointerTypeInfo *>(lib().symbol(("_ZTIPK" + code).c_str()));
        EXPECT_EQ(constant->info.vtable, pointer) << code;
        EXPECT_EQ(std::string(constant->info.name), "PK" + code);
        EXPECT_EQ(constant->flags, 1u);
        EXPECT_EQ(constant->pointee, type);
    }
}

TEST_F(RuntimeEntryTest, DynamicCastOfNothingIsNull) {
    auto dynamic_cast_fn = fn<void *(const void *, const void *, const void *, ptrdiff_t)>("__dynamic_cast");
    EXPECT_EQ(dynamic_cast_fn(nullptr, nullptr, lib().symbol("_ZTIi"), 0), nullptr);
    int object = 0;
    EXPECT_EQ(dynamic_cast_fn(&object, nullptr, nullptr, 0), nullptr);
}

TEST_F(RuntimeEntryTest, TerminationPathsStopTheMachine) {
    EXPECT_HALTS(fn<void()>("_ZSt9terminatev")());
    EXPECT_HALTS(fn<void()>("__cxa_bad_cast")());
    EXPECT_HALTS(fn<void()>("__cxa_bad_typeid")());
    EXPECT_HALTS(fn<void()>("__cxa_deleted_virtual")());
    EXPECT_HALTS(fn<void()>("__cxa_throw_bad_array_new_length")());
    EXPECT_HALTS(fn<void(void *, void *, void *)>("_Unwind_SjLj_ForcedUnwind")(nullptr, nullptr, nullptr));
    EXPECT_HALTS(fn<void(void *)>("_Unwind_Resume")(nullptr));
    EXPECT_HALTS(fn<void()>("__cxa_rethrow")()); // nothing is being handled
}

TEST_F(RuntimeEntryTest, ThrowWithNoFramesTerminates) {
    void *object = allocate(sizeof(int));
    EXPECT_HALTS(fn<void(void *, const void *, void *)>("__cxa_throw")(object, lib().symbol("_ZTIi"), nullptr));
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_RaiseException")(header_of(object)));
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_Resume")(header_of(object)));
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_Resume_or_Rethrow")(header_of(object)));
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_Resume")(nullptr));
    free_exception(object);
}

// The terminate path of functions that must not throw.
TEST_F(RuntimeEntryTest, ClangCallTerminateCatchesThenStops) {
    void *object = allocate(4);
    EXPECT_HALTS(fn<void(void *)>("__clang_call_terminate")(header_of(object)));
    free_exception(object);
}

} // namespace
} // namespace lbw::test
