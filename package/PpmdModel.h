// The order-N context model of PPMd variant I revision 1 (ZIP method 98) and the
// carry-less range decoder it is read with: shared by PpmdModel.cpp, PpmdUpdate.cpp,
// PpmdMethod.cpp and PpmdDecoder.cpp, and seen by the fuzz target, nothing else.
// The model lives in one block of memory addressed by 32-bit offsets (0 is "none");
// every offset read back from that memory is checked before use, so no input can make
// the model reach outside its block.
#pragma once

#include "package/ZipMethods.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace Folio::Shared::Ppmd {

constexpr unsigned kMinOrder = 2;
constexpr unsigned kIndexes = 38;  // block sizes the sub-allocator keeps lists for
constexpr uint32_t kUnit = 12;     // a context, a free-block header, or two symbol states
constexpr uint32_t kState = 6;     // symbol, frequency, 32-bit successor (16-bit aligned)
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kBinScale = 1 << 14; // binary contexts code against 14-bit totals

enum : unsigned { kRestoreRestart = 0, kRestoreCutOff = 1 };

// Classes of a context's symbol count - 1 (0-4 alone, then runs of 1, 2, 3... counts):
// rows of the binary and escape estimates.
extern const std::array<uint8_t, 260> kNumStatsClass;

// The flag bit a context keeps for holding a symbol of 0x40 or more (letters and up).
inline uint8_t HighFlag(uint8_t symbol) { return symbol >= 0x40 ? 0x08 : 0; }

// The method 98 decoder over `source`. `memory`, when not 0, replaces the model size the
// stream asks for (at least kMinMemory): only the fuzz target does so, to make the model
// fill its memory (and restart or cut off) within the short outputs it decodes.
constexpr uint32_t kMinMemory = 16 << 10;
std::unique_ptr<TMethodDecoder> Open(TMethodSource& source, uint64_t expected, uint32_t memory);

// Input for the range decoder: the payload's pieces one after another. Bytes past its
// end read as zero and are counted, so a stream that stops early is seen once the symbol
// at hand is done.
struct TByteSource {
    const uint8_t* Next = nullptr;
    const uint8_t* End = nullptr;
    TMethodSource* Source = nullptr; // null once it has run dry
    uint32_t Overrun = 0;

    uint8_t Take()
    {
        if (Next != End) [[likely]] {
            return *Next++;
        }
        return Refill();
    }
    uint8_t Refill();
    // Whether every byte of the payload has been taken.
    bool Drained();
};

// Subbotin's range decoder without carries, as variant I codes with it: the range is
// cut to what keeps the top byte of low fixed rather than carrying into it.
struct TRangeDecoder {
    uint32_t Range = 0xFFFFFFFF;
    uint32_t Code = 0;
    uint32_t Low = 0;
    TByteSource In;
    bool Failed = false;

    bool Start()
    {
        for (int i = 0; i < 4; ++i) {
            Code = Code << 8 | In.Take();
        }
        return Code != 0xFFFFFFFF;
    }
    // The count within `total` the next symbol falls at.
    uint32_t Threshold(uint32_t total)
    {
        Range /= total;
        if (Range == 0) {
            Failed = true; // only a damaged model state could ask for this
            Range = 1;
        }
        return Code / Range;
    }
    void Consume(uint32_t start, uint32_t size)
    {
        start *= Range;
        Low += start;
        Code -= start;
        Range *= size;
        for (;;) {
            if ((Low ^ (Low + Range)) >= (1u << 24)) {
                if (Range >= (1u << 15)) {
                    break;
                }
                Range = (0 - Low) & ((1u << 15) - 1);
            }
            if (Range == 0) {
                Failed = true; // would shift forever: no encoder writes this
                Range = 1u << 15;
                break;
            }
            Code = Code << 8 | In.Take();
            Range <<= 8;
            Low <<= 8;
        }
    }
};

// Secondary escape estimation: an adaptive guess of the escape frequency.
struct TSee {
    uint16_t Summ;
    uint8_t Shift;
    uint8_t Count;
};

class TPpmdModel {
public:
    // The model's memory, 1 to 256 MiB; false when it cannot be had.
    bool Allocate(uint32_t size);
    // Gives the memory back once nothing more is decoded.
    void Release() { FBlock.reset(); FMem = nullptr; }
    void Start(unsigned maxOrder, unsigned restoreMethod);
    // The next byte, -1 for the end mark (an escape out of the order-0 context), or -2
    // for a code no encoder writes.
    int DecodeSymbol(TRangeDecoder& rc);
    // Set when a check against the model's own invariants failed: the input was hostile.
    bool Broken() const { return FBroken; }

private:
    // --- raw memory: contexts, states and free-block headers by offset
    uint8_t& U8(uint32_t at) { return FMem[at]; }
    uint16_t U16(uint32_t at) const { uint16_t v; std::memcpy(&v, FMem + at, 2); return v; }
    uint32_t U32(uint32_t at) const { uint32_t v; std::memcpy(&v, FMem + at, 4); return v; }
    void Put16(uint32_t at, uint32_t v) { const auto x = static_cast<uint16_t>(v); std::memcpy(FMem + at, &x, 2); }
    void Put32(uint32_t at, uint32_t v) { std::memcpy(FMem + at, &v, 4); }
    // An offset taken from the model's memory: anything outside it means a broken model,
    // and is replaced by an offset that is harmless to read and write.
    uint32_t Checked(uint32_t ref)
    {
        if (ref >= FEnd) [[unlikely]] {
            FBroken = true;
            return FAlign;
        }
        return ref;
    }

    // A context: symbol count - 1, flags, frequency total, states, shorter context. With
    // one symbol its state sits in place of the total and the states reference.
    uint8_t& NumStats(uint32_t c) { return FMem[c]; }
    uint8_t& Flags(uint32_t c) { return FMem[c + 1]; }
    uint32_t SummFreq(uint32_t c) const { return U16(c + 2); }
    void SetSummFreq(uint32_t c, uint32_t v) { Put16(c + 2, v); }
    uint32_t Stats(uint32_t c) { return Checked(U32(c + 4)); }
    void SetStats(uint32_t c, uint32_t s) { Put32(c + 4, s); }
    uint32_t Suffix(uint32_t c) { return Checked(U32(c + 8)); }
    static uint32_t OneState(uint32_t c) { return c + 2; }

    // A state: symbol, frequency, successor (a context, or a position in the text).
    uint8_t& Sym(uint32_t s) { return FMem[s]; }
    uint8_t& Freq(uint32_t s) { return FMem[s + 1]; }
    uint32_t Successor(uint32_t s) const { return U32(s + 2); }
    void SetSuccessor(uint32_t s, uint32_t v) { Put32(s + 2, v); }
    void CopyState(uint32_t to, uint32_t from) { std::memmove(FMem + to, FMem + from, kState); }
    void SwapStates(uint32_t a, uint32_t b);
    uint32_t FindSymbol(uint32_t c, uint8_t symbol);

    // --- sub-allocator (PpmdModel.cpp)
    uint32_t I2U(unsigned index) const;
    unsigned U2I(uint32_t units) const;
    void InsertNode(uint32_t node, unsigned index);
    uint32_t RemoveNode(unsigned index);
    void SplitBlock(uint32_t block, unsigned oldIndex, unsigned newIndex);
    void GlueFreeBlocks();
    uint32_t AllocUnitsRare(unsigned index);
    uint32_t AllocUnits(unsigned index);
    uint32_t AllocContext();
    uint32_t ShrinkUnits(uint32_t old, unsigned oldUnits, unsigned newUnits);
    void FreeUnits(uint32_t block, unsigned units);
    void SpecialFreeUnit(uint32_t block);
    uint32_t MoveUnitsUp(uint32_t old, unsigned units);
    void ExpandTextArea();
    uint32_t UsedMemory() const;
    void CopyUnits(uint32_t to, uint32_t from, unsigned units) { std::memmove(FMem + to, FMem + from, units * kUnit); }

    // --- model upkeep (PpmdModel.cpp)
    void Restart();
    void Refresh(uint32_t c, unsigned oldUnits, unsigned scale);
    uint32_t CutOff(uint32_t c, unsigned order);
    void Restore(uint32_t stop);
    uint32_t CreateSuccessors(bool skip, uint32_t s1, uint32_t c);
    uint32_t ReduceOrder(uint32_t s1, uint32_t c);
    void UpdateModel();
    void Rescale();
    void NextContext();
    void Update1();
    void Update1First();
    void UpdateBin();
    void Update2();
    TSee* MakeEscFreq(unsigned numMasked, uint32_t& escFreq);

    std::unique_ptr<uint8_t[]> FBlock;
    uint8_t* FMem = nullptr;
    uint32_t FSize = 0;
    uint32_t FAlign = 0; // offset of the text area: keeps offset 0 free to mean "none"
    uint32_t FEnd = 0;   // FAlign + FSize; past it only a zeroed guard area
    bool FBroken = false;

    uint32_t FMinContext = 0, FMaxContext = 0, FFoundState = 0;
    unsigned FOrderFall = 0, FInitEsc = 0, FPrevSuccess = 0, FMaxOrder = 0, FRestoreMethod = 0;
    int32_t FRunLength = 0, FInitRL = 0;
    uint32_t FGlueCount = 0;
    uint32_t FLoUnit = 0, FHiUnit = 0, FText = 0, FUnitsStart = 0;
    uint32_t FFreeList[kIndexes] = {};
    uint32_t FStamps[kIndexes] = {};
    TSee FDummySee{};
    TSee FSee[24][32] = {};
    uint16_t FBinSumm[25][64] = {};
};

} // namespace Folio::Shared::Ppmd
