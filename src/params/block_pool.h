// BlockPool: keeps the storage blocks of emptied or destroyed parameter
// trees for the trees made after them (internal to params/).
//
// The engine reads the same level file once per manager and rebuilds small
// trees every frame; taking blocks back from the pool spares the system the
// work of mapping and zeroing fresh memory each time, which costs more than
// the parsing itself. The pool keeps at most kMaxKeptBytes of each block size
// and frees the rest. It is safe to use from several threads.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace krovane::params {

template <class T, std::size_t Count>
class BlockPool {
public:
    using Block = std::unique_ptr<T[]>;
    static constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;
    static constexpr std::size_t kMaxKept = kMaxKeptBytes / (sizeof(T) * Count);

    // A block of Count uninitialised elements.
    static Block take() {
        State& s = state();
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (!s.kept.empty()) {
                Block b = std::move(s.kept.back());
                s.kept.pop_back();
                return b;
            }
        }
        return std::make_unique_for_overwrite<T[]>(Count);
    }

    // Takes the blocks back; `blocks` is left empty.
    static void give(std::vector<Block>& blocks) {
        if (blocks.empty()) return;
        State& s = state();
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            while (!blocks.empty() && s.kept.size() < kMaxKept) {
                s.kept.push_back(std::move(blocks.back()));
                blocks.pop_back();
            }
        }
        blocks.clear();  // frees what the pool does not keep, outside the lock
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<Block> kept;
    };
    // Never destroyed, so trees that outlive static destruction can still give back.
    static State& state() {
        static State* s = new State;
        return *s;
    }
};

}  // namespace krovane::params
