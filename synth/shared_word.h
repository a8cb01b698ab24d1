// A parameter word shared by the window's thread and the audio thread.
//
// A knob, a button or a remote command writes the word directly while the
// patch plays; the audio thread reads it at its next step. Each access is a
// relaxed atomic load or store of one aligned word: never torn, no order
// implied, and as cheap as a plain access on x86 — but the language (and
// ThreadSanitizer) sees no race. Reads look like reads of the plain value.
#pragma once

#include <type_traits>

template <class T>
class SHARED {
    static_assert(std::is_arithmetic_v<T>, "a shared word is a number");

public:
    SHARED() = default;
    constexpr SHARED(T v) : v_(v) {}  // NOLINT: a shared word stands for its value

    /// The value (relaxed atomic load).
    operator T() const { return load(); }
    T load() const {
        T r;
        __atomic_load(&v_, &r, __ATOMIC_RELAXED);
        return r;
    }
    /// Writes the value (relaxed atomic store).
    SHARED& operator=(T v) {
        __atomic_store(&v_, &v, __ATOMIC_RELAXED);
        return *this;
    }
    SHARED(const SHARED& o) : v_(o.load()) {}
    SHARED& operator=(const SHARED& o) { return *this = o.load(); }

    // Read-modify-write by the one thread that writes the word (not atomic as a whole).
    SHARED& operator+=(T d) { return *this = static_cast<T>(load() + d); }
    SHARED& operator-=(T d) { return *this = static_cast<T>(load() - d); }
    SHARED& operator*=(T d) { return *this = static_cast<T>(load() * d); }
    SHARED& operator/=(T d) { return *this = static_cast<T>(load() / d); }
    SHARED& operator++() { return *this = static_cast<T>(load() + 1); }
    SHARED& operator--() { return *this = static_cast<T>(load() - 1); }
    T operator++(int) {
        const T was = load();
        *this = static_cast<T>(was + 1);
        return was;
    }
    T operator--(int) {
        const T was = load();
        *this = static_cast<T>(was - 1);
        return was;
    }

    /// The word itself, for code that reads or writes it as a plain T through
    /// the same atomic accessors (shared_load / shared_store).
    T* word() { return &v_; }
    const T* word() const { return &v_; }

private:
    T v_;
};

/// Relaxed atomic access to a word reached through a plain pointer (a knob
/// bound to a parameter's word()).
template <class T>
T shared_load(const T* w) {
    T r;
    __atomic_load(w, &r, __ATOMIC_RELAXED);
    return r;
}
template <class T>
void shared_store(T* w, T v) {
    __atomic_store(w, &v, __ATOMIC_RELAXED);
}
