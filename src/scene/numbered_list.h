// NumberedList: the numbered entries a scene manager owns. Numbers count from
// 1 in order of adding and are never reused; an entry is found by its number
// in constant time, and a walk goes in order of adding. A number may be taken
// without an entry (an effect whose file failed keeps its number), which
// leaves a gap that the walk skips.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace krovane::scene {

template <class T>
class NumberedList {
public:
    NumberedList() = default;
    NumberedList(const NumberedList&) = delete;
    NumberedList& operator=(const NumberedList&) = delete;
    // Destroys the entries in order of adding.
    ~NumberedList() {
        for (auto& slot : slots_) slot.reset();
    }

    // Gives `entry` (null: none) the next number and returns that number.
    std::uint32_t add(std::unique_ptr<T> entry) {
        slots_.push_back(std::move(entry));
        return count();
    }
    // Gives the number `number`, taken without an entry, to `entry`; false
    // (and `entry` is dropped) when the number is not such a gap.
    bool fillGap(std::uint32_t number, std::unique_ptr<T> entry) {
        if (number < 1 || number > slots_.size() || slots_[number - 1]) return false;
        slots_[number - 1] = std::move(entry);
        return true;
    }
    // The entry numbered `number`, or null when none has it.
    T* find(std::int64_t number) const {
        return number >= 1 && number <= static_cast<std::int64_t>(slots_.size())
                   ? slots_[static_cast<std::size_t>(number - 1)].get()
                   : nullptr;
    }
    // How many numbers are taken: the last number given.
    std::uint32_t count() const { return static_cast<std::uint32_t>(slots_.size()); }

    // Calls visit(number, entry) for every entry, in order of adding.
    template <class Visit>
    void forEach(Visit&& visit) const {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i]) visit(static_cast<std::uint32_t>(i + 1), *slots_[i]);
    }
    // The first entry, in order of adding, for which test(entry) holds; null when none.
    template <class Test>
    T* findFirst(Test&& test) const {
        for (const auto& slot : slots_)
            if (slot && test(*slot)) return slot.get();
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<T>> slots_;  // the entry numbered n is at n - 1
};

}  // namespace krovane::scene
