// PPMd variant I, revision 1: the model's start, what it learns from each decoded symbol
// (new contexts, and the symbol added to the contexts that escaped) and how it recovers
// when its memory is full (restart from scratch, or cut the tree down to what recent text
// used). The encoder runs the same rules, so each constant and comparison is part of the
// format.
#include "package/PpmdModel.h"

#include <algorithm>
#include <array>

namespace Folio::Shared::Ppmd {

namespace {

constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr unsigned kPeriodBits = 7;
// Context chains are never longer than the order; past this the model is broken.
constexpr unsigned kMaxWalk = 256;

} // namespace

void TPpmdModel::Start(unsigned maxOrder, unsigned restoreMethod)
{
    FMaxOrder = maxOrder;
    FRestoreMethod = restoreMethod;
    Restart();
    FDummySee = {0, kPeriodBits, 64};
}

void TPpmdModel::Restart()
{
    std::memset(FFreeList, 0, sizeof(FFreeList));
    std::memset(FStamps, 0, sizeof(FStamps));
    FText = FAlign;
    FHiUnit = FText + FSize;
    FLoUnit = FUnitsStart = FHiUnit - FSize / 8 / kUnit * 7 * kUnit;
    FGlueCount = 0;

    FOrderFall = FMaxOrder;
    FRunLength = FInitRL = -static_cast<int32_t>(FMaxOrder < 12 ? FMaxOrder : 12) - 1;
    FPrevSuccess = 0;

    // The order-0 context in the top unit, all 256 symbols once each below the units.
    FHiUnit -= kUnit;
    FMinContext = FMaxContext = FHiUnit;
    Put32(FMinContext + 8, 0);
    NumStats(FMinContext) = 255;
    Flags(FMinContext) = 0;
    SetSummFreq(FMinContext, 256 + 1);
    FFoundState = FLoUnit;
    SetStats(FMinContext, FLoUnit);
    for (unsigned i = 0; i < 256; ++i) {
        const uint32_t s = FLoUnit + i * kState;
        Sym(s) = static_cast<uint8_t>(i);
        Freq(s) = 1;
        SetSuccessor(s, 0);
    }
    FLoUnit += 128 * kUnit;

    // Binary contexts: row by the symbol's frequency class, column by the neighbourhood.
    unsigned n = 0;
    for (unsigned row = 0; row < 25; ++row) {
        while (kNumStatsClass[n] == row) {
            ++n;
        }
        for (unsigned k = 0; k < 8; ++k) {
            const auto value = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (n + 1));
            for (unsigned col = k; col < 64; col += 8) {
                FBinSumm[row][col] = value;
            }
        }
    }
    n = 0;
    for (unsigned row = 0; row < 24; ++row) {
        while (kNumStatsClass[n + 3] == row + 3) {
            ++n;
        }
        for (auto& see : FSee[row]) {
            see = {static_cast<uint16_t>((2 * n + 5) << (kPeriodBits - 4)), kPeriodBits - 4, 7};
        }
    }
}

// Shrinks a context's states to what it holds now, halving the frequencies when asked.
void TPpmdModel::Refresh(uint32_t c, unsigned oldUnits, unsigned scale)
{
    unsigned i = NumStats(c);
    uint32_t s = ShrinkUnits(Stats(c), oldUnits, (i + 2) >> 1);
    SetStats(c, s);
    unsigned flags = (Flags(c) & (0x10 + 0x04 * scale)) + HighFlag(Sym(s));
    unsigned escFreq = SummFreq(c) - Freq(s);
    unsigned sumFreq = Freq(s) = static_cast<uint8_t>((Freq(s) + scale) >> scale);
    do {
        s += kState;
        escFreq -= Freq(s);
        sumFreq += Freq(s) = static_cast<uint8_t>((Freq(s) + scale) >> scale);
        flags |= HighFlag(Sym(s));
    } while (--i);
    SetSummFreq(c, sumFreq + ((escFreq + scale) >> scale));
    Flags(c) = static_cast<uint8_t>(flags);
}

// Drops what only old text reached: states whose successor is a position in the text,
// contexts past the order, binary contexts of high order with nothing after them.
uint32_t TPpmdModel::CutOff(uint32_t c, unsigned order)
{
    if (NumStats(c) == 0) {
        const uint32_t s = OneState(c);
        if (Successor(s) >= FUnitsStart) {
            SetSuccessor(s, order < FMaxOrder ? CutOff(Checked(Successor(s)), order + 1) : 0);
            if (Successor(s) != 0 || order <= 9) {
                return c;
            }
        }
        SpecialFreeUnit(c);
        return 0;
    }
    const unsigned units = (NumStats(c) + 2u) >> 1;
    SetStats(c, MoveUnitsUp(Stats(c), units));
    const uint32_t stats = Stats(c);
    int last = NumStats(c);
    for (int k = last; k >= 0 && !FBroken; --k) {
        const uint32_t s = stats + static_cast<uint32_t>(k) * kState;
        if (Successor(s) < FUnitsStart) {
            SetSuccessor(s, 0);
            SwapStates(s, stats + static_cast<uint32_t>(last--) * kState);
        } else if (order < FMaxOrder) {
            SetSuccessor(s, CutOff(Checked(Successor(s)), order + 1));
        } else {
            SetSuccessor(s, 0);
        }
    }
    if (last != NumStats(c) && order != 0) {
        NumStats(c) = static_cast<uint8_t>(last);
        if (last < 0) {
            FreeUnits(stats, units);
            SpecialFreeUnit(c);
            return 0;
        }
        if (last == 0) {
            Flags(c) = static_cast<uint8_t>((Flags(c) & 0x10) + HighFlag(Sym(stats)));
            CopyState(OneState(c), stats);
            FreeUnits(stats, units);
            Freq(OneState(c)) = static_cast<uint8_t>((Freq(OneState(c)) + 11) >> 3);
        } else {
            Refresh(c, units, SummFreq(c) > 16u * static_cast<unsigned>(last));
        }
    }
    return c;
}

// Out of memory while adding the last symbol to the contexts from the longest down to
// `stop`: undo that, then restart the model or cut it down.
void TPpmdModel::Restore(uint32_t stop)
{
    FText = FAlign;
    uint32_t c = FMaxContext;
    unsigned walk = 0;
    for (; c != stop && walk < kMaxWalk; c = Suffix(c), ++walk) {
        if (--NumStats(c) == 0) {
            const uint32_t s = Stats(c);
            Flags(c) = static_cast<uint8_t>((Flags(c) & 0x10) + HighFlag(Sym(s)));
            CopyState(OneState(c), s);
            SpecialFreeUnit(s);
            Freq(OneState(c)) = static_cast<uint8_t>((Freq(OneState(c)) + 11) >> 3);
        } else {
            Refresh(c, (NumStats(c) + 3u) >> 1, 0);
        }
    }
    for (; c != FMinContext && walk < kMaxWalk; c = Suffix(c), ++walk) {
        if (NumStats(c) == 0) {
            Freq(OneState(c)) = static_cast<uint8_t>(Freq(OneState(c)) - (Freq(OneState(c)) >> 1));
        } else {
            SetSummFreq(c, SummFreq(c) + 4);
            if (SummFreq(c) > 128 + 4u * NumStats(c)) {
                Refresh(c, (NumStats(c) + 2u) >> 1, 1);
            }
        }
    }
    FBroken |= walk >= kMaxWalk;
    if (FRestoreMethod == kRestoreRestart || UsedMemory() < (FSize >> 1)) {
        Restart();
        return;
    }
    for (walk = 0; U32(FMaxContext + 8) != 0 && walk < kMaxWalk; ++walk) {
        FMaxContext = Suffix(FMaxContext);
    }
    do {
        CutOff(FMaxContext, 0);
        ExpandTextArea();
    } while (!FBroken && UsedMemory() > 3 * (FSize >> 2));
    FGlueCount = 0;
    FOrderFall = FMaxOrder;
}

// Creates the contexts that the found symbol leads to, from the shortest one that has
// them already (or the order-0 context) up to the longest; 0 when memory runs out.
uint32_t TPpmdModel::CreateSuccessors(bool skip, uint32_t s1, uint32_t c)
{
    const uint32_t upBranch = Successor(FFoundState);
    const uint8_t symbol = Sym(FFoundState);
    uint32_t pending[kMaxWalk];
    unsigned count = 0;
    if (!skip) {
        pending[count++] = FFoundState;
    }
    while (U32(c + 8) != 0) {
        c = Suffix(c);
        uint32_t s;
        if (s1 != 0) {
            s = s1;
            s1 = 0;
        } else if (NumStats(c) != 0) {
            s = FindSymbol(c, symbol);
            if (Freq(s) < kMaxFreq - 9) {
                ++Freq(s);
                SetSummFreq(c, SummFreq(c) + 1);
            }
        } else {
            s = OneState(c);
            Freq(s) = static_cast<uint8_t>(Freq(s) + (NumStats(Suffix(c)) == 0 && Freq(s) < 24));
        }
        if (Successor(s) != upBranch) {
            c = Checked(Successor(s));
            if (count == 0) {
                return c;
            }
            break;
        }
        if (count == kMaxWalk - 1 || FBroken) {
            FBroken = true;
            return 0;
        }
        pending[count++] = s;
    }

    // The new contexts hold one state each: the symbol that followed in the text, with a
    // frequency guessed from the shorter context.
    const uint32_t text = Checked(upBranch);
    const uint8_t upSymbol = U8(text);
    const uint8_t flags = static_cast<uint8_t>((symbol >= 0x40 ? 0x10 : 0) + HighFlag(upSymbol));
    uint8_t upFreq;
    if (NumStats(c) == 0) {
        upFreq = Freq(OneState(c));
    } else {
        const uint32_t s = FindSymbol(c, upSymbol);
        const uint32_t cf = Freq(s) - 1u;
        uint32_t s0 = SummFreq(c) - NumStats(c) - cf;
        if (s0 == 0) {
            FBroken = true;
            s0 = 1;
        }
        upFreq = static_cast<uint8_t>(1 + (2 * cf <= s0 ? (5 * cf > s0) : (cf + 2 * s0 - 3) / s0));
    }
    while (count != 0) {
        const uint32_t c1 = AllocContext();
        if (c1 == 0) {
            return 0;
        }
        NumStats(c1) = 0;
        Flags(c1) = flags;
        Sym(OneState(c1)) = upSymbol;
        Freq(OneState(c1)) = upFreq;
        SetSuccessor(OneState(c1), upBranch + 1);
        Put32(c1 + 8, c);
        SetSuccessor(pending[--count], c1);
        c = c1;
    }
    return c;
}

// The found symbol has no successor context: point it and the shorter contexts' states
// for it at the text, up to the first that has a successor, and continue from there.
uint32_t TPpmdModel::ReduceOrder(uint32_t s1, uint32_t c)
{
    const uint32_t start = c;
    const uint32_t upBranch = FText;
    const uint8_t symbol = Sym(FFoundState);
    SetSuccessor(FFoundState, upBranch);
    ++FOrderFall;
    uint32_t s = 0;
    for (unsigned walk = 0;; ++walk) {
        if (walk == kMaxWalk || FBroken) {
            FBroken = true;
            return 0;
        }
        if (s1 != 0) {
            c = Suffix(c);
            s = s1;
            s1 = 0;
        } else {
            if (U32(c + 8) == 0) {
                return c;
            }
            c = Suffix(c);
            if (NumStats(c) != 0) {
                s = FindSymbol(c, symbol);
                if (Freq(s) < kMaxFreq - 9) {
                    Freq(s) = static_cast<uint8_t>(Freq(s) + 2);
                    SetSummFreq(c, SummFreq(c) + 2);
                }
            } else {
                s = OneState(c);
                Freq(s) = static_cast<uint8_t>(Freq(s) + (Freq(s) < 32));
            }
        }
        if (Successor(s) != 0) {
            break;
        }
        SetSuccessor(s, upBranch);
        ++FOrderFall;
    }
    if (Successor(s) <= upBranch) {
        const uint32_t found = FFoundState;
        FFoundState = s;
        SetSuccessor(s, CreateSuccessors(false, 0, c));
        FFoundState = found;
    }
    if (FOrderFall == 1 && start == FMaxContext) {
        SetSuccessor(FFoundState, Successor(s));
        --FText;
    }
    return Checked(Successor(s));
}

// Adds the found symbol to every context from the longest down to the one it was found
// in, and moves on to the context the symbol leads to.
void TPpmdModel::UpdateModel()
{
    const uint32_t found = FFoundState;
    uint32_t fSuccessor = Successor(found);
    const unsigned fFreq = Freq(found);
    const uint8_t fSymbol = Sym(found);
    uint32_t s = 0;

    if (fFreq < kMaxFreq / 4 && U32(FMinContext + 8) != 0) {
        const uint32_t c = Suffix(FMinContext);
        if (NumStats(c) == 0) {
            s = OneState(c);
            if (Freq(s) < 32) {
                ++Freq(s);
            }
        } else {
            s = FindSymbol(c, fSymbol);
            if (s != Stats(c) && Freq(s) >= Freq(s - kState)) {
                SwapStates(s, s - kState);
                s -= kState;
            }
            if (Freq(s) < kMaxFreq - 9) {
                Freq(s) = static_cast<uint8_t>(Freq(s) + 2);
                SetSummFreq(c, SummFreq(c) + 2);
            }
        }
    }

    uint32_t c = FMaxContext;
    if (FOrderFall == 0 && fSuccessor != 0) {
        const uint32_t cs = CreateSuccessors(true, s, FMinContext);
        SetSuccessor(found, cs);
        if (cs == 0) {
            Restore(c);
        } else {
            FMaxContext = cs;
        }
        return;
    }

    if (FText >= FUnitsStart) {
        FBroken = true;
        return;
    }
    U8(FText++) = fSymbol;
    uint32_t successor = FText;
    if (FText >= FUnitsStart) {
        Restore(c);
        return;
    }
    if (fSuccessor == 0) {
        fSuccessor = ReduceOrder(s, FMinContext);
        if (fSuccessor == 0) {
            Restore(c);
            return;
        }
    } else if (fSuccessor < FUnitsStart) {
        fSuccessor = CreateSuccessors(false, s, FMinContext);
        if (fSuccessor == 0) {
            Restore(c);
            return;
        }
    }
    if (--FOrderFall == 0) {
        successor = fSuccessor;
        FText -= FMaxContext != FMinContext;
    }

    const unsigned ns = NumStats(FMinContext);
    const uint32_t s0 = SummFreq(FMinContext) - ns - fFreq;
    const uint8_t flag = HighFlag(fSymbol);
    for (unsigned walk = 0; c != FMinContext; c = Suffix(c)) {
        if (++walk == kMaxWalk || FBroken) {
            FBroken = true;
            return;
        }
        const unsigned ns1 = NumStats(c);
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // The states fill their units: move them to a block one unit larger.
                const unsigned oldUnits = (ns1 + 1) >> 1;
                const unsigned index = U2I(oldUnits);
                if (index != U2I(oldUnits + 1)) {
                    const uint32_t block = AllocUnits(index + 1);
                    if (block == 0) {
                        Restore(c);
                        return;
                    }
                    const uint32_t old = Stats(c);
                    CopyUnits(block, old, oldUnits);
                    InsertNode(old, index);
                    SetStats(c, block);
                }
            }
            SetSummFreq(c, SummFreq(c) + (3 * ns1 + 1 < ns));
        } else {
            const uint32_t s2 = AllocUnits(0);
            if (s2 == 0) {
                Restore(c);
                return;
            }
            CopyState(s2, OneState(c));
            SetStats(c, s2);
            Freq(s2) = static_cast<uint8_t>(Freq(s2) < kMaxFreq / 4 - 1 ? Freq(s2) * 2 : kMaxFreq - 4);
            SetSummFreq(c, Freq(s2) + FInitEsc + (ns > 2));
        }
        // The new symbol's frequency: its share in the context it was found in, scaled
        // to this one's total.
        uint32_t cf = 2 * fFreq * (SummFreq(c) + 6);
        const uint32_t sf = s0 + SummFreq(c);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            SetSummFreq(c, SummFreq(c) + 4);
        } else {
            cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
            SetSummFreq(c, SummFreq(c) + cf);
        }
        const uint32_t added = Stats(c) + (ns1 + 1) * kState;
        SetSuccessor(added, successor);
        Sym(added) = fSymbol;
        Freq(added) = static_cast<uint8_t>(cf);
        Flags(c) |= flag;
        NumStats(c) = static_cast<uint8_t>(ns1 + 1);
    }
    FMaxContext = FMinContext = Checked(fSuccessor);
}

} // namespace Folio::Shared::Ppmd
