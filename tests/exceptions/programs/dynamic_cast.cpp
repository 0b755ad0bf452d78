// dynamic_cast over single-inheritance chains, and what lies outside them; typeid.
#include <stddef.h>
#include <typeinfo>



namespace {

struct Shape {
    int id = 1;
    virtual int kind() const { return 1; }
};
struct Polygon : Shape {
    int sides = 3;
    int kind() const override { return 2; }
};
struct Square : Polygon {
    int kind() const override { return 3; }
};
struct Circle : Shape {
    int kind() const override { return 4; }
};

struct Named {
    const char *name = "n";
    virtual const char *label() const { return name; }
};
struct Tile : Shape, Named {
    int kind() const override { return 5; }
};

Square gSquare;
Polygon gPolygon;
Circle gCircle;
Tile gTile;

template <class To, class From>
__attribute__((noinline)) To *cast(From *from) {
    return dynamic_cast<To *>(from);
}

} // namespace

extern "C" {

// Each check contributes one bit when it holds.
int dynamic_cast_results() {
    int bits = 0;
    int bit = 0;
    auto check = [&](bool ok) { bits |= (ok ? 1 : 0) << bit++; };
    Shape *square = &gSquare;
    Shape *polygon = &gPolygon;
    Shape *circle = &gCircle;
    check(cast<Square>(square) == &gSquare);             // down to the dynamic type
    check(cast<Polygon>(square) == &gSquare);            // down to an intermediate ancestor
    check(cast<Square>(polygon) == nullptr);             // not that far down
    check(cast<Circle>(square) == nullptr);              // across to a sibling
    check(cast<Polygon>(circle) == nullptr);
    check(cast<Square>(static_cast<Shape *>(nullptr)) == nullptr);
    Named *named = &gTile;
    check(cast<Tile>(named) == &gTile);                  // a second base back to the complete object
    check(cast<Shape>(named) == nullptr);                // across two bases: not followed
    Polygon *viaPolygon = cast<Polygon>(square);
    check(viaPolygon != nullptr && viaPolygon->kind() == 3 && viaPolygon->sides == 3);
    return bits;
}

int dynamic_cast_check_count() {
    return 9;
}

} // extern "C"

// A failed cast to a reference has no exception to throw here: the machine stops.
extern "C" int failed_reference_cast() {
    Shape &circle = gCircle;
    return dynamic_cast<Square &>(circle).id;
}

namespace {
__attribute__((noinline)) void *most_derived(Named *n) {
    return dynamic_cast<void *>(n);
}
__attribute__((noinline)) const std::type_info &type_of(Shape *s) {
    return typeid(*s);
}
} // namespace

extern "C" {

int dynamic_cast_to_void() {
    Named *named = &gTile;
    return most_derived(named) == static_cast<void *>(&gTile) && static_cast<void *>(named) != &gTile ? 1 : 0;
}

int typeid_comparisons() {
    Square another;
    Shape *tile = &gTile, *square = &gSquare, *other = &another;
    int bits = 0;
    bits |= (type_of(tile) == typeid(Tile)) << 0;
    bits |= (type_of(square) == typeid(Square)) << 1;
    bits |= (type_of(other) == type_of(square)) << 2;
    bits |= !(type_of(tile) == typeid(Square)) << 3;
    bits |= !(type_of(square) == typeid(Shape)) << 4;
    return bits;
}

// typeid of a null object has no exception to throw here: the machine stops.
int typeid_of_null() {
    return type_of(nullptr).name()[0];
}

} // extern "C"
