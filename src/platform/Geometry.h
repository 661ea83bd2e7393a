#pragma once

// Points and rectangles of the core: double precision, y up, origin at the lower-left corner of
// the primary screen. Only this folder converts to and from Qt's y-down coordinates.
namespace pimlo {

// Width and height of the pet window and of the canvas its views paint on.
inline constexpr double petSize = 200.0;

struct Point
{
    double x = 0;
    double y = 0;
    friend bool operator==(const Point &, const Point &) = default;
};

struct Size
{
    double width = 0;
    double height = 0;
    friend bool operator==(const Size &, const Size &) = default;
};

struct Rect
{
    Point origin;
    Size size;

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }

    // Minimum edges inclusive, maximum edges exclusive.
    bool contains(Point p) const
    {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    friend bool operator==(const Rect &, const Rect &) = default;
};

inline Rect makeRect(double x, double y, double w, double h)
{
    return Rect{{x, y}, {w, h}};
}

} // namespace pimlo
