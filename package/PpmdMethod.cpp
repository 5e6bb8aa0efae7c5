// PPMd variant I, revision 1 (ZIP method 98): a symbol's decoding from its context,
// with the escapes to shorter contexts, and the frequency updates that follow it.
#include "package/PpmdModel.h"

#include <algorithm>
#include <array>
#include <new>

namespace Folio::Shared {

namespace Ppmd {

namespace {

// Escape estimate for contexts grown from a binary one, by the binary probability.
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

// Column group of a binary context by its suffix's symbol count - 1.
unsigned SuffixClass(unsigned numStats) { return numStats == 0 ? 0 : numStats == 1 ? 2 : numStats < 11 ? 4 : 6; }

} // namespace

// A frequency passed the limit: halve them all (keeping them sorted, the found state
// first) and drop the states that reach zero.
void TPpmdModel::Rescale()
{
    const uint32_t stats = Stats(FMinContext);
    uint32_t s = FFoundState;
    {
        uint8_t t[kState];
        std::memcpy(t, FMem + s, kState);
        for (; s != stats; s -= kState) {
            CopyState(s, s - kState);
        }
        std::memcpy(FMem + s, t, kState);
    }
    unsigned escFreq = SummFreq(FMinContext) - Freq(s);
    const unsigned adder = FOrderFall != 0;
    Freq(s) = static_cast<uint8_t>((static_cast<uint8_t>(Freq(s) + 4) + adder) >> 1);
    unsigned sumFreq = Freq(s);
    unsigned i = NumStats(FMinContext);
    do {
        s += kState;
        escFreq -= Freq(s);
        Freq(s) = static_cast<uint8_t>((Freq(s) + adder) >> 1);
        sumFreq += Freq(s);
        if (Freq(s) > Freq(s - kState)) {
            uint8_t t[kState];
            std::memcpy(t, FMem + s, kState);
            uint32_t s1 = s;
            do {
                CopyState(s1, s1 - kState);
                s1 -= kState;
            } while (s1 != stats && t[1] > Freq(s1 - kState));
            std::memcpy(FMem + s1, t, kState);
        }
    } while (--i);

    if (Freq(s) == 0) {
        const unsigned numStats = NumStats(FMinContext);
        do {
            ++i;
            s -= kState;
        } while (Freq(s) == 0);
        escFreq += i;
        NumStats(FMinContext) = static_cast<uint8_t>(numStats - i);
        if (NumStats(FMinContext) == 0) {
            uint8_t t[kState];
            std::memcpy(t, FMem + stats, kState);
            if (escFreq == 0) {
                FBroken = true;
                escFreq = 1;
            }
            // Kept to a byte before the cap, as the encoder does.
            t[1] = static_cast<uint8_t>((2 * t[1] + escFreq - 1) / escFreq);
            t[1] = std::min<uint8_t>(t[1], kMaxFreq / 3);
            InsertNode(stats, U2I((numStats + 2) >> 1));
            Flags(FMinContext) = static_cast<uint8_t>((Flags(FMinContext) & 0x10) + HighFlag(t[0]));
            FFoundState = OneState(FMinContext);
            std::memcpy(FMem + FFoundState, t, kState);
            return;
        }
        const unsigned n0 = (numStats + 2) >> 1, n1 = (NumStats(FMinContext) + 2u) >> 1;
        if (n0 != n1) {
            SetStats(FMinContext, ShrinkUnits(stats, n0, n1));
        }
        s = Stats(FMinContext);
        unsigned flags = (Flags(FMinContext) & ~0x08u) | HighFlag(Sym(s));
        for (i = NumStats(FMinContext); i != 0; --i) {
            s += kState;
            flags |= HighFlag(Sym(s));
        }
        Flags(FMinContext) = static_cast<uint8_t>(flags);
    }
    SetSummFreq(FMinContext, sumFreq + escFreq - (escFreq >> 1));
    Flags(FMinContext) |= 0x04;
    FFoundState = Stats(FMinContext);
}

void TPpmdModel::NextContext()
{
    const uint32_t c = Successor(FFoundState);
    if (FOrderFall == 0 && c >= FUnitsStart) {
        FMinContext = FMaxContext = Checked(c);
    } else {
        UpdateModel();
        FMinContext = FMaxContext;
    }
}

// Found at a state other than the first of a context.
void TPpmdModel::Update1()
{
    uint32_t s = FFoundState;
    Freq(s) = static_cast<uint8_t>(Freq(s) + 4);
    SetSummFreq(FMinContext, SummFreq(FMinContext) + 4);
    if (Freq(s) > Freq(s - kState)) {
        SwapStates(s, s - kState);
        FFoundState = s -= kState;
        if (Freq(s) > kMaxFreq) {
            Rescale();
        }
    }
    NextContext();
}

// Found at the first state of a context.
void TPpmdModel::Update1First()
{
    FPrevSuccess = 2u * Freq(FFoundState) >= SummFreq(FMinContext);
    FRunLength += static_cast<int32_t>(FPrevSuccess);
    SetSummFreq(FMinContext, SummFreq(FMinContext) + 4);
    Freq(FFoundState) = static_cast<uint8_t>(Freq(FFoundState) + 4);
    if (Freq(FFoundState) > kMaxFreq) {
        Rescale();
    }
    NextContext();
}

void TPpmdModel::UpdateBin()
{
    Freq(FFoundState) = static_cast<uint8_t>(Freq(FFoundState) + (Freq(FFoundState) < 196));
    FPrevSuccess = 1;
    ++FRunLength;
    NextContext();
}

// Found after one or more escapes.
void TPpmdModel::Update2()
{
    SetSummFreq(FMinContext, SummFreq(FMinContext) + 4);
    Freq(FFoundState) = static_cast<uint8_t>(Freq(FFoundState) + 4);
    if (Freq(FFoundState) > kMaxFreq) {
        Rescale();
    }
    FRunLength = FInitRL;
    UpdateModel();
    FMinContext = FMaxContext;
}

// The escape frequency of the current context after an escape from a longer one that
// held numMasked + 1 symbols, and the SEE context it came from.
TSee* TPpmdModel::MakeEscFreq(unsigned numMasked, uint32_t& escFreq)
{
    const unsigned numStats = NumStats(FMinContext);
    if (numStats == 255) {
        escFreq = 1;
        return &FDummySee;
    }
    const unsigned column = (SummFreq(FMinContext) > 11 * (numStats + 1)) +
                            2 * (2 * numStats < NumStats(Suffix(FMinContext)) + numMasked) + Flags(FMinContext);
    TSee* see = &FSee[static_cast<unsigned>(kNumStatsClass[numStats + 2] - 3) % 24][column & 31];
    const unsigned r = see->Summ >> see->Shift;
    see->Summ = static_cast<uint16_t>(see->Summ - r);
    escFreq = r + (r == 0);
    return see;
}

int TPpmdModel::DecodeSymbol(TRangeDecoder& rc)
{
    uint8_t masked[256];
    if (NumStats(FMinContext) != 0) {
        uint32_t s = Stats(FMinContext);
        const uint32_t total = SummFreq(FMinContext);
        const uint32_t count = rc.Threshold(total);
        uint32_t hiCnt = Freq(s);
        if (count < hiCnt) {
            rc.Consume(0, hiCnt);
            FFoundState = s;
            const uint8_t symbol = Sym(s);
            Update1First();
            return symbol;
        }
        FPrevSuccess = 0;
        for (unsigned i = NumStats(FMinContext); i != 0; --i) {
            s += kState;
            hiCnt += Freq(s);
            if (hiCnt > count) {
                rc.Consume(hiCnt - Freq(s), Freq(s));
                FFoundState = s;
                const uint8_t symbol = Sym(s);
                Update1();
                return symbol;
            }
        }
        if (count >= total) {
            return -2;
        }
        rc.Consume(hiCnt, total - hiCnt);
        std::memset(masked, 0, sizeof(masked));
        for (uint32_t t = Stats(FMinContext); t <= s; t += kState) {
            masked[Sym(t)] = 1;
        }
    } else {
        const uint32_t one = OneState(FMinContext);
        const unsigned column = SuffixClass(NumStats(Suffix(FMinContext))) + FPrevSuccess + Flags(FMinContext) +
                                ((FRunLength >> 26) & 0x20);
        uint16_t& prob = FBinSumm[kNumStatsClass[static_cast<uint8_t>(Freq(one) - 1)] % 25][column & 63];
        rc.Range >>= 14;
        if (rc.Range == 0) {
            rc.Failed = true;
            return -2;
        }
        // The mean of the probability's last 2^7 updates, rounded.
        const unsigned mean = (prob + (1u << 5)) >> 7;
        if (rc.Code / rc.Range < prob) {
            rc.Consume(0, prob);
            prob = static_cast<uint16_t>(prob + (1u << 7) - mean);
            FFoundState = one;
            const uint8_t symbol = Sym(one);
            UpdateBin();
            return symbol;
        }
        rc.Consume(prob, kBinScale - prob);
        prob = static_cast<uint16_t>(prob - mean);
        FInitEsc = kExpEscape[prob >> 10];
        std::memset(masked, 0, sizeof(masked));
        masked[Sym(one)] = 1;
        FPrevSuccess = 0;
    }

    // Escaped: shorter contexts, each coding only the symbols not ruled out yet.
    for (;;) {
        const unsigned numMasked = NumStats(FMinContext);
        unsigned walk = 0;
        do {
            ++FOrderFall;
            if (U32(FMinContext + 8) == 0) {
                return -1;
            }
            FMinContext = Suffix(FMinContext);
        } while (NumStats(FMinContext) == numMasked && ++walk < 256);
        const unsigned numStats = NumStats(FMinContext);
        if (numStats <= numMasked || FBroken) {
            FBroken = true; // a shorter context always holds its longer one's symbols
            return -2;
        }
        uint32_t open[256];
        const unsigned want = numStats - numMasked;
        unsigned n = 0;
        uint32_t hiCnt = 0;
        uint32_t s = Stats(FMinContext);
        for (unsigned k = 0; k <= numStats && n != want; ++k, s += kState) {
            if (masked[Sym(s)] == 0) {
                hiCnt += Freq(s);
                open[n++] = s;
            }
        }
        if (n != want) {
            FBroken = true;
            return -2;
        }
        uint32_t freqSum;
        TSee* see = MakeEscFreq(numMasked, freqSum);
        freqSum += hiCnt;
        const uint32_t count = rc.Threshold(freqSum);
        if (count < hiCnt) {
            unsigned k = 0;
            hiCnt = Freq(open[0]);
            while (hiCnt <= count) {
                hiCnt += Freq(open[++k]);
            }
            s = open[k];
            rc.Consume(hiCnt - Freq(s), Freq(s));
            if (see->Shift < 7 && --see->Count == 0) {
                see->Summ = static_cast<uint16_t>(see->Summ << 1);
                see->Count = static_cast<uint8_t>(3 << see->Shift++);
            }
            FFoundState = s;
            const uint8_t symbol = Sym(s);
            Update2();
            return symbol;
        }
        if (count >= freqSum) {
            return -2;
        }
        rc.Consume(hiCnt, freqSum - hiCnt);
        see->Summ = static_cast<uint16_t>(see->Summ + freqSum);
        for (unsigned k = 0; k < n; ++k) {
            masked[Sym(open[k])] = 1;
        }
    }
}

} // namespace Ppmd

} // namespace Folio::Shared
