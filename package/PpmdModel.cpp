// PPMd variant I, revision 1: the sub-allocator (blocks of 12-byte units kept in 38
// size classes, glued together when the lists run dry) and the model's upkeep when a
// symbol is learnt, when frequencies overflow and when memory runs out (restart or cut
// off). Every rule here decides which bits the encoder wrote, so each follows the
// published algorithm exactly; PpmdModel.h says how memory is addressed.
#include "package/PpmdModel.h"

#include <array>
#include <new>

namespace Folio::Shared::Ppmd {

namespace {

constexpr uint32_t kEmptyNode = 0xFFFFFFFF; // stamp of a free block's header

// Units per size class: 1-4, then steps of 2, 3 and 4 up to 128.
constexpr auto kIndexToUnits = [] {
    std::array<uint8_t, kIndexes> t{};
    unsigned units = 0;
    for (unsigned i = 0; i < kIndexes; ++i) {
        units += i < 12 ? i / 4 + 1 : 4;
        t[i] = static_cast<uint8_t>(units);
    }
    return t;
}();

// The smallest class that holds n + 1 units.
constexpr auto kUnitsToIndex = [] {
    std::array<uint8_t, 128> t{};
    unsigned index = 0;
    for (unsigned n = 0; n < 128; ++n) {
        if (kIndexToUnits[index] < n + 1) {
            ++index;
        }
        t[n] = static_cast<uint8_t>(index);
    }
    return t;
}();

} // namespace

const std::array<uint8_t, 260> kNumStatsClass = [] {
    std::array<uint8_t, 260> t{};
    unsigned cls = 0, left = 1;
    for (unsigned n = 0; n < 260; ++n) {
        if (n < 5) {
            t[n] = static_cast<uint8_t>(n);
            cls = 5;
            continue;
        }
        t[n] = static_cast<uint8_t>(cls);
        if (--left == 0) {
            ++cls;
            left = cls - 4;
        }
    }
    return t;
}();

uint32_t TPpmdModel::I2U(unsigned index) const { return kIndexToUnits[index]; }
unsigned TPpmdModel::U2I(uint32_t units) const { return kUnitsToIndex[(units - 1) & 127]; }

bool TPpmdModel::Allocate(uint32_t size)
{
    // The text area starts at 1 to 4 so that the units end on a 4-byte boundary. The
    // guard after the end takes a full array of states read through any checked offset.
    constexpr uint32_t kGuard = 256 * kState + kUnit;
    FAlign = 4 - (size & 3);
    FSize = size;
    FEnd = FAlign + size;
    FBlock.reset(new (std::nothrow) uint8_t[FEnd + kGuard]);
    if (!FBlock) {
        return false;
    }
    FMem = FBlock.get();
    std::memset(FMem, 0, FAlign);
    std::memset(FMem + FEnd, 0, kGuard);
    return true;
}

void TPpmdModel::SwapStates(uint32_t a, uint32_t b)
{
    uint8_t t[kState];
    std::memcpy(t, FMem + a, kState);
    std::memmove(FMem + a, FMem + b, kState);
    std::memcpy(FMem + b, t, kState);
}

// The state of a symbol the context is known to hold; a context without it is a broken
// model (the search never runs past the context's states).
uint32_t TPpmdModel::FindSymbol(uint32_t c, uint8_t symbol)
{
    uint32_t s = Stats(c);
    for (unsigned i = NumStats(c); Sym(s) != symbol; s += kState) {
        if (i-- == 0) {
            FBroken = true;
            return Stats(c);
        }
    }
    return s;
}

// --- sub-allocator

void TPpmdModel::InsertNode(uint32_t node, unsigned index)
{
    Put32(node, kEmptyNode);
    Put32(node + 4, FFreeList[index]);
    Put32(node + 8, I2U(index));
    FFreeList[index] = node;
    ++FStamps[index];
}

uint32_t TPpmdModel::RemoveNode(unsigned index)
{
    const uint32_t node = Checked(FFreeList[index]);
    FFreeList[index] = U32(node + 4);
    --FStamps[index];
    return node;
}

void TPpmdModel::SplitBlock(uint32_t block, unsigned oldIndex, unsigned newIndex)
{
    const uint32_t rest = I2U(oldIndex) - I2U(newIndex);
    block += I2U(newIndex) * kUnit;
    unsigned index = U2I(rest);
    if (I2U(index) != rest) {
        const uint32_t k = I2U(--index);
        InsertNode(block + k * kUnit, rest - k - 1);
    }
    InsertNode(block, index);
}

// Merges neighbouring free blocks and files them again by size, the lists' old order
// deciding the new one.
void TPpmdModel::GlueFreeBlocks()
{
    FGlueCount = 1 << 13;
    std::memset(FStamps, 0, sizeof(FStamps));
    // The order-0 context sits in the top unit and ends every run; the unused gap
    // between the two ends gets a header that is not free.
    if (FLoUnit != FHiUnit) {
        Put32(FLoUnit, 0);
    }
    uint32_t head = 0, last = 0; // the chain of all blocks, linked through their headers
    for (unsigned i = 0; i < kIndexes; ++i) {
        uint32_t next = FFreeList[i];
        FFreeList[i] = 0;
        while (next != 0) {
            const uint32_t node = Checked(next);
            if (U32(node + 8) != 0) {
                if (last == 0) {
                    head = node;
                } else {
                    Put32(last + 4, node);
                }
                last = node;
                for (;;) {
                    const uint32_t after = node + U32(node + 8) * kUnit;
                    if (after >= FEnd || U32(after) != kEmptyNode) {
                        FBroken |= after >= FEnd;
                        break;
                    }
                    Put32(node + 8, U32(node + 8) + U32(after + 8));
                    Put32(after + 8, 0);
                }
            }
            next = U32(node + 4);
            if (FBroken) {
                return;
            }
        }
    }
    if (last != 0) {
        Put32(last + 4, 0);
    }
    while (head != 0) {
        uint32_t node = Checked(head);
        head = U32(node + 4);
        uint32_t units = U32(node + 8);
        if (units == 0) {
            continue;
        }
        if (units > (FEnd - node) / kUnit) {
            FBroken = true; // a run past the end: never from blocks the model freed
            return;
        }
        for (; units > 128; units -= 128, node += 128 * kUnit) {
            InsertNode(node, kIndexes - 1);
        }
        unsigned index = U2I(units);
        if (I2U(index) != units) {
            const uint32_t k = I2U(--index);
            InsertNode(node + k * kUnit, units - k - 1);
        }
        InsertNode(node, index);
    }
}

uint32_t TPpmdModel::AllocUnitsRare(unsigned index)
{
    if (FGlueCount == 0) {
        GlueFreeBlocks();
        if (FFreeList[index] != 0) {
            return RemoveNode(index);
        }
    }
    unsigned i = index;
    do {
        if (++i == kIndexes) {
            // Nothing free that is large enough: take it off the end of the text area.
            const uint32_t bytes = I2U(index) * kUnit;
            --FGlueCount;
            if (FUnitsStart - FText > bytes) {
                FUnitsStart -= bytes;
                return FUnitsStart;
            }
            return 0;
        }
    } while (FFreeList[i] == 0);
    const uint32_t block = RemoveNode(i);
    SplitBlock(block, i, index);
    return block;
}

uint32_t TPpmdModel::AllocUnits(unsigned index)
{
    if (FFreeList[index] != 0) {
        return RemoveNode(index);
    }
    const uint32_t bytes = I2U(index) * kUnit;
    if (bytes <= FHiUnit - FLoUnit) {
        const uint32_t block = FLoUnit;
        FLoUnit += bytes;
        return block;
    }
    return AllocUnitsRare(index);
}

uint32_t TPpmdModel::AllocContext()
{
    if (FHiUnit != FLoUnit) {
        return FHiUnit -= kUnit;
    }
    if (FFreeList[0] != 0) {
        return RemoveNode(0);
    }
    return AllocUnitsRare(0);
}

uint32_t TPpmdModel::ShrinkUnits(uint32_t old, unsigned oldUnits, unsigned newUnits)
{
    const unsigned i0 = U2I(oldUnits), i1 = U2I(newUnits);
    if (i0 == i1) {
        return old;
    }
    if (FFreeList[i1] != 0) {
        const uint32_t block = RemoveNode(i1);
        CopyUnits(block, old, newUnits);
        InsertNode(old, i0);
        return block;
    }
    SplitBlock(old, i0, i1);
    return old;
}

void TPpmdModel::FreeUnits(uint32_t block, unsigned units) { InsertNode(block, U2I(units)); }

void TPpmdModel::SpecialFreeUnit(uint32_t block)
{
    if (block != FUnitsStart) {
        InsertNode(block, 0);
    } else {
        FUnitsStart += kUnit;
    }
}

// Moves a block of states towards the top when a free block there can take it, so that
// the text area can grow into what is left below.
uint32_t TPpmdModel::MoveUnitsUp(uint32_t old, unsigned units)
{
    const unsigned index = U2I(units);
    if (old > FUnitsStart + 16 * 1024 || old > FFreeList[index]) {
        return old;
    }
    const uint32_t block = RemoveNode(index);
    CopyUnits(block, old, units);
    if (old != FUnitsStart) {
        InsertNode(old, index);
    } else {
        FUnitsStart += I2U(index) * kUnit;
    }
    return block;
}

// Gives the free blocks at the bottom of the units area back to the text.
void TPpmdModel::ExpandTextArea()
{
    uint32_t count[kIndexes] = {};
    if (FLoUnit != FHiUnit) {
        Put32(FLoUnit, 0);
    }
    uint32_t node = FUnitsStart;
    while (U32(node) == kEmptyNode) {
        const uint32_t units = U32(node + 8);
        if (units == 0 || units > 128 || node + units * kUnit >= FEnd) {
            FBroken = true;
            return;
        }
        Put32(node, 0);
        ++count[U2I(units)];
        node += units * kUnit;
    }
    FUnitsStart = node;
    for (unsigned i = 0; i < kIndexes; ++i) {
        // Unlinks the count[i] blocks just taken from list i, wherever they are in it.
        uint32_t link = 0; // the header whose next field leads on; 0: the list head
        while (count[i] != 0) {
            node = link == 0 ? FFreeList[i] : U32(link + 4);
            while (node != 0 && node < FEnd && U32(node) == 0) {
                const uint32_t next = U32(node + 4);
                if (link == 0) {
                    FFreeList[i] = next;
                } else {
                    Put32(link + 4, next);
                }
                node = next;
                --FStamps[i];
                if (--count[i] == 0) {
                    break;
                }
            }
            if (count[i] != 0 && (node == 0 || node >= FEnd)) {
                FBroken = true; // fewer blocks in the list than were counted
                return;
            }
            link = node;
        }
    }
}

uint32_t TPpmdModel::UsedMemory() const
{
    uint32_t units = 0;
    for (unsigned i = 0; i < kIndexes; ++i) {
        units += FStamps[i] * I2U(i);
    }
    return FSize - (FHiUnit - FLoUnit) - (FUnitsStart - FText) - units * kUnit;
}

} // namespace Folio::Shared::Ppmd
