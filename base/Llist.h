// Llist<T>: the system's one growable array, with a growth step, a cursor and a placeholder.
#pragma once

#include <climits>
#include <new>

// Elements are stored by value in one contiguous block. A full block grows by half its size, and
// by at least `step` slots, so that n adds copy each element a bounded number of times however
// large the list gets; a block shrinks to the exact count once more slots stand empty than the
// next growth would add, so that removing n elements one by one is linear too.
// Reads outside the bounds never fail: they answer with the placeholder `outside` (rangeMode 0)
// or the nearest end element (rangeMode 1). The fields are public because the system's code reads
// `top` and `current` directly.
//
// The two virtual operations are `add` and `remove`, in that order; the destructor is declared
// after them so that they keep the first two slots of the table.
//
// A storage block that cannot be obtained leaves the list empty (no block, count 0); an element
// is never counted without storage behind it.
template <typename T>
class Llist {
  public:
    int top = -1;           // index of the last element; -1 when empty
    int current = -1;       // the cursor: the index last reached by get, add, insert or next
    int capacity = 0;       // element slots in items; 0 when items is absent
    int step = 1;           // growth step, at least 1
    T* items = nullptr;     // the storage block, owned by the list
    T outside{};            // handed out for reads outside the bounds
    int rangeMode = 0;      // 0: answer with outside; 1: clamp to the first or last element
    bool keepOrder = true;  // remove shifts the tail down (true) or moves the last in (false)

    explicit Llist(int initialCapacity = 0, int growthStep = 1, bool keepOrderOnRemove = true);
    Llist(const Llist& source);
    Llist& operator=(const Llist& source);

    virtual Llist& add(const T& value);
    virtual Llist& remove(int index);
    virtual ~Llist() { delete[] items; }

    Llist& insert(const T& value, int index);
    Llist& setCapacity(int newCapacity, bool keep);
    T& get(int index);
    bool next();

    // The slots a full block of the given size grows by: half of it, and at least the step.
    int growthFor(int slots) const { return slots / 2 > step ? slots / 2 : step; }

  private:
    static T* makeBlock(int n);
    void copyFrom(const Llist& source);
    void shrinkTo(int n);
};

template <typename T>
Llist<T>::Llist(int initialCapacity, int growthStep, bool keepOrderOnRemove)
    : step(growthStep < 1 ? 1 : growthStep), keepOrder(keepOrderOnRemove) {
    setCapacity(initialCapacity, true);
}

template <typename T>
Llist<T>::Llist(const Llist& source) {
    copyFrom(source);
}

template <typename T>
Llist<T>& Llist<T>::operator=(const Llist& source) {
    if (this != &source) copyFrom(source);
    return *this;
}

// The cursor stays this list's own: it is neither copied nor reset.
template <typename T>
void Llist<T>::copyFrom(const Llist& source) {
    setCapacity(source.capacity, false);
    step = source.step < 1 ? 1 : source.step;
    outside = source.outside;
    rangeMode = source.rangeMode;
    keepOrder = source.keepOrder;
    if (capacity < source.capacity) return;  // no storage: stay empty
    for (int i = 0; i <= source.top; i++)
        items[i] = source.items[i];
    top = source.top;
}

// Blocks are value-initialised, so that plain elements read as zero rather than as garbage. An
// element constructor that throws counts as a failed allocation.
template <typename T>
T* Llist<T>::makeBlock(int n) {
    try {
        return new (std::nothrow) T[n]();
    } catch (...) {
        return nullptr;
    }
}

template <typename T>
Llist<T>& Llist<T>::setCapacity(int newCapacity, bool keep) {
    if (!keep) {
        delete[] items;
        items = nullptr;
    }
    T* block = newCapacity > 0 ? makeBlock(newCapacity) : nullptr;
    if (block == nullptr) {
        delete[] items;
        items = nullptr;
        capacity = 0;
        top = -1;
        return *this;
    }
    int newTop = top < newCapacity - 1 ? top : newCapacity - 1;
    if (keep) {
        for (int i = 0; i <= newTop; i++)
            block[i] = items[i];
        delete[] items;
    }
    items = block;
    capacity = newCapacity;
    top = newTop;
    return *this;
}

template <typename T>
Llist<T>& Llist<T>::add(const T& value) {
    if (capacity == top + 1) {
        // The value may be one of this list's own elements; copy it before the block goes.
        T copy = value;
        long long grown = static_cast<long long>(capacity) + growthFor(capacity);
        if (grown > INT_MAX) grown = capacity < INT_MAX ? INT_MAX : -1;
        setCapacity(static_cast<int>(grown), true);
        if (capacity == top + 1) return *this;  // growth failed: nothing to store it in
        items[++top] = copy;
    } else {
        items[++top] = value;
    }
    current = top;
    return *this;
}

template <typename T>
Llist<T>& Llist<T>::remove(int index) {
    if (index == -1) index = current;
    if (index < 0 || index > top) return *this;
    if (top == 0) return setCapacity(0, true);
    if (keepOrder) {
        for (int i = index; i < top; i++)
            items[i] = items[i + 1];
    } else {
        items[index] = items[top];
    }
    top--;
    if (top + 1 < capacity - growthFor(capacity)) shrinkTo(top + 1);
    return *this;
}

// Shrinking only saves memory, so a block that cannot be obtained keeps the larger one rather
// than emptying a list whose elements are all still in place.
template <typename T>
void Llist<T>::shrinkTo(int n) {
    T* block = makeBlock(n);
    if (block == nullptr) return;
    for (int i = 0; i < n; i++)
        block[i] = items[i];
    delete[] items;
    items = block;
    capacity = n;
}

template <typename T>
Llist<T>& Llist<T>::insert(const T& value, int index) {
    if (index == -1) index = current;
    if (index > top) return add(value);
    if (index < 0) return *this;
    T copy = value;
    int before = top;
    add(T(items[top]));
    if (top != before + 1) return *this;  // growth failed and the list is empty
    for (int i = top - 1; i > index; i--)
        items[i] = items[i - 1];
    items[index] = copy;
    current = index;
    return *this;
}

template <typename T>
T& Llist<T>::get(int index) {
    if (index >= 0 && index <= top) {
        current = index;
        return items[index];
    }
    if (top < 0 || rangeMode != 1) return outside;
    return index < 0 ? items[0] : items[top];
}

template <typename T>
bool Llist<T>::next() {
    current++;
    if (current > top) {
        current = top;
        return false;
    }
    return true;
}
