// control_detector.h: finds control frames (and link calibration pings) in the spectrogram: for
// each code of a set and each coarse offset of the search it counts the symbols whose tone is the
// strongest of its band, keeps the best alignment for 8 more runs, then measures the fine offset
// on the re-extracted spectrum, moves the receive frequency offset (control frames only) and
// reports the code as data.
// Owns one detection record; the spectrogram, rings and AFC state are the front-end's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "phy/common/control_patterns.h"
#include "phy/rx/receive_front_end.h"

namespace zolk {

// Wide: the half-bin spectrogram of the uncorrected ring, coarse offsets -7..+7 half bins (about
// +/-164 Hz), the AFC set to the estimate. Narrow: the corrected ring's spectrogram, no search,
// half of the estimate added to the AFC (the link is already on frequency).
enum class ControlSearch : std::uint8_t { Wide, Narrow };

// What one run searches: the spectrogram, the coarse offsets and the hits a pattern needs.
struct PatternSearch {
    ControlSearch spectrogram = ControlSearch::Wide;
    int maxOffset = 7;  // coarse offsets -maxOffset..+maxOffset, in bins of that spectrogram
    int hitsNeeded = kControlHitsNeeded;
};

// Pings are found on the wide spectrogram: the rough one within +/-43 half bins (about
// +/-1008 Hz), the fine one within +/-6 (about +/-141 Hz).
inline constexpr PatternSearch kRoughPingSearch{ControlSearch::Wide, 43, kPingHitsNeeded};
inline constexpr PatternSearch kFinePingSearch{ControlSearch::Wide, 6, kPingHitsNeeded};

// Whether a detection moves the receive frequency offset: a control frame tunes the receiver to
// its sender, a ping only measures.
enum class DetectorAfc : std::uint8_t { Follow, Untouched };

// How the fine offset is read from the quarter-bin spectrum. QuarterBin: the best of the three
// quarter bins around the coarse offset. Interpolated: that bin refined by a parabola through the
// correlation sums of it and its two neighbours.
enum class FineOffsetMethod : std::uint8_t { QuarterBin, Interpolated };

struct ControlDetection {
    std::uint8_t code = 0;          // 1..26
    ControlSearch search = ControlSearch::Wide;
    std::int16_t coarseOffset = 0;  // half bins (wide) of 23.4375 Hz; 0 when narrow
    std::uint32_t ringIndex = 0;    // RingIndex at the newest symbol of the best alignment
    std::uint8_t hits = 0;          // symbols whose tone was the strongest of its band
    float sum = 0.0f;               // power summed over the 31 tones
    float confirmation = 0.0f;      // the recorded alignment's tone-to-band statistic (see below)
    bool fineFound = false;         // a quarter-bin alignment reached 19 hits too
    float fineOffsetHz = 0.0f;      // the frequency at which the frame was heard (the estimate)
    float receiveFrequencyOffsetHz = 0.0f;  // the AFC after the correction
};

// The largest hit count any code and offset reached in one run, counted to the end (the bench
// reads how close noise comes to 19 hits).
struct ControlRunStats {
    int mostHits = 0;
    // With every hit counted: each code/offset of the run with 13 hits or more, and its
    // confirmation statistic (the bench compares noise with frames).
    struct Candidate {
        int hits = 0;
        float confirmation = 0.0f;
    };
    std::vector<Candidate> candidates;
};

class ControlDetector {
public:
    static constexpr int kCountdownRuns = 8;
    static constexpr int kWideOffsets = 7;  // coarse offsets -7..+7 half bins
    // The second test of a candidate with 19 hits: the mean power of its 31 tones against the mean
    // power of the other six tones of their bands (how far the tones stand above the noise of the
    // bands). Noise reaches 19 hits by chance far more often than it also lifts its tones' power
    // that far; a frame lifts its tone in every symbol, hit or not. Chosen from bench/control.
    static constexpr float kConfirmationThreshold = 2.8f;

    // frontEnd must outlive the detector.
    explicit ControlDetector(ReceiveFrontEnd& frontEnd, DetectorAfc afc = DetectorAfc::Follow)
        : m_frontEnd(frontEnd), m_afc(afc) {}

    // One run over codes (numbers 1..26; others are skipped) on the newest 31 symbols. Returns the
    // detection 8 runs after the last improvement of the record, after moving the front-end's
    // receive frequency offset (DetectorAfc::Follow); then the record is clear again. An empty set
    // does nothing. The control search of a kind: wide -7..+7 half bins or narrow at 0, 19 hits.
    std::optional<ControlDetection> listenFor(const ControlPatternTable& table, std::span<const std::uint8_t> codes,
                                              ControlSearch search);
    std::optional<ControlDetection> listenFor(const ControlPatternTable& table, std::span<const std::uint8_t> codes,
                                              const PatternSearch& search);

    // Forgets a detection under way (the patterns were redrawn, or listening stopped).
    void clearRecord() { m_record = Record{}; }
    bool recording() const { return m_record.code != 0; }
    // The recorded alignment: its code (0 = none), sum and the runs left before the report.
    std::uint8_t recordedCode() const { return m_record.code; }
    float recordedSum() const { return m_record.sum; }
    int countdown() const { return m_record.countdown; }

    void setFineOffsetMethod(FineOffsetMethod method) { m_fineMethod = method; }
    // Counts every code and offset to the end instead of stopping where 19 hits are out of reach,
    // and keeps the run's largest count. Slower; for measurements only.
    void setCountAllHits(bool on) { m_countAll = on; }
    const ControlRunStats& lastRun() const { return m_lastRun; }
    // The threshold of the confirmation statistic a candidate with 19 hits must reach; -infinity
    // turns the second test off (the bench measures both).
    void setConfirmationThreshold(float threshold) { m_confirmationThreshold = threshold; }
    float confirmationThreshold() const { return m_confirmationThreshold; }

private:
    struct Record {
        float sum = 0.0f;
        std::int16_t coarseOffset = 0;
        std::uint8_t code = 0;
        std::int16_t countdown = 0;
        std::uint32_t ringIndex = 0;
        std::uint8_t hits = 0;
        float confirmation = 0.0f;
        ControlSearch search = ControlSearch::Wide;
        int hitsNeeded = kControlHitsNeeded;
    };

    ControlDetection report(const ControlPatternTable& table);

    ReceiveFrontEnd& m_frontEnd;
    DetectorAfc m_afc;
    Record m_record;
    FineOffsetMethod m_fineMethod = FineOffsetMethod::Interpolated;
    bool m_countAll = false;
    float m_confirmationThreshold = kConfirmationThreshold;
    ControlRunStats m_lastRun;
};

}  // namespace zolk
