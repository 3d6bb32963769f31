// The first difference found while two structures are walked side by side,
// named by the path of the field and both values:
// "meshes[3].positions[17]: 1.5 != 1.25". Numbers compare bit for bit (a NaN
// equals a NaN of the same bits). A walker derives from it (Walk is the
// walker itself, whose Value overloads compare its own types) and brings
// the base's Value into scope.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

template <class Walk>
class FirstDifference {
public:
    std::string difference;

    bool Done() const { return !difference.empty(); }

    void Text(const std::string& path, const std::string& a, const std::string& b) {
        if (!Done() && a != b) difference = path + ": \"" + a + "\" != \"" + b + "\"";
    }
    void Int(const std::string& path, int64_t a, int64_t b) {
        if (!Done() && a != b) difference = path + ": " + std::to_string(a) + " != " + std::to_string(b);
    }
    void Real(const std::string& path, double a, double b) {
        if (Done() || std::memcmp(&a, &b, sizeof a) == 0) return;
        char text[80];
        std::snprintf(text, sizeof text, "%.17g != %.17g", a, b);
        difference = path + ": " + text;
    }
    void Real(const std::string& path, float a, float b) {
        if (Done() || std::memcmp(&a, &b, sizeof a) == 0) return;
        char text[80];
        std::snprintf(text, sizeof text, "%.9g != %.9g", double(a), double(b));
        difference = path + ": " + text;
    }

    void Value(const std::string& path, float a, float b) { Real(path, a, b); }
    void Value(const std::string& path, double a, double b) { Real(path, a, b); }
    template <typename T, typename = std::enable_if_t<std::is_integral<T>::value>>
    void Value(const std::string& path, T a, T b) {
        Int(path, int64_t(a), int64_t(b));
    }

    // Numbers: the first that differs in its bits is named (no path is made
    // for the equal ones: vertex lists and pixels are long).
    template <typename T, typename = std::enable_if_t<std::is_arithmetic<T>::value>>
    void Array(const std::string& path, const T* a, const T* b, size_t n) {
        if (Done() || n == 0 || std::memcmp(a, b, n * sizeof(T)) == 0) return;
        size_t i = 0;
        while (std::memcmp(&a[i], &b[i], sizeof(T)) == 0) ++i;
        Value(path + "[" + std::to_string(i) + "]", a[i], b[i]);
    }
    template <typename T, typename = std::enable_if_t<!std::is_arithmetic<T>::value>, typename = void>
    void Array(const std::string& path, const T* a, const T* b, size_t n) {
        for (size_t i = 0; i < n && !Done(); ++i)
            static_cast<Walk*>(this)->Value(path + "[" + std::to_string(i) + "]", a[i], b[i]);
    }
    template <typename T>
    void List(const std::string& path, const std::vector<T>& a, const std::vector<T>& b) {
        Int(path + ".size()", int64_t(a.size()), int64_t(b.size()));
        if (!Done()) Array(path, a.data(), b.data(), a.size());
    }
};
