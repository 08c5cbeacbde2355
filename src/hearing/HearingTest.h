#pragma once

#include "audio/OutputVolumeWatch.h"
#include "audio/WaveStreamer.h"
#include "hearing/SystemRandom.h"
#include "records/PersonRecord.h"
#include "records/RecordStore.h"
#include "support/Clock.h"
#include "support/DialogControls.h"
#include "support/ModalPause.h"
#include "support/TextString.h"

#include <atomic>
#include <cstdint>

class Canvas;
struct CanvasRect;

// The application object: the hearing test with its streamer and the measurement in progress;
// the records and their file belong to its record store.
// There is one of it in the program; tests build their own with fakes behind the seams.
//
// Threads: everything runs on the user-interface thread except FillBuffer, which runs on the
// audio thread while the device plays. The fields both threads touch (flags, frequency, phase,
// level, the hold) are atomic; the records are touched by the user-interface thread only (the
// store's writer thread has its own copies).
//
// It is the process's modal listener (see support/ModalPause.h): while a box, dialog or menu of
// the program is open during a run, the run is held.
class HearingTest : public WaveStreamer, public ModalListener {
public:
    static constexpr int ToneCount = 10;
    // flags
    static constexpr std::int32_t LeftEar = 1;
    static constexpr std::int32_t RightEar = 2;
    static constexpr std::int32_t Unsaved = 4;

    // Without a volume watch the output is never asked and every run goes on.
    HearingTest(WaveOutDevice& device, DialogControls& controls, Clock& clock,
                OutputVolumeWatch* volumeWatch = nullptr);
    ~HearingTest();

    // Test procedure.
    void Reset();
    void NewTest();
    void StartLeft();
    void StartRight();
    int NextTone();
    static int FrequencyOf(int index);
    // Whether a run's tone is playing (also while it is held or in its pause).
    bool Running() const;
    // Ends a run whose sound output stopped answering or went silent: the device closed, the ear
    // of the run left unmeasured; the tone under way records nothing.
    void AbandonRun();
    // Asks the output (a bounded wait): true only when it says it is muted or at 0, where a run
    // would record every tone as unheard. An output that cannot say is taken as audible.
    bool OutputSilent();
    // The output went silent during the run: its tone is silent, a press records nothing, and
    // the dialog is to end the run (AbandonRun). Found before a tone (NextTone) or, with the
    // command IdOutputSilent posted, by the tone synthesis.
    bool OutputWentSilent() const { return outputSilent.load(); }

    // Tone synthesis (audio thread).
    void FillBuffer(StereoFrame* frames) override;
    // The device made no progress for a while (its own thread): the dialog is told.
    void OnOutputStalled() override;

    // A modal window opened or the last one closed (user-interface thread).
    void OnModalOpened() override;
    void OnModalClosed() override;

    // Records and the record list box.
    const char* NameAt(std::int32_t index) const;
    int FindByName(const char* name) const;
    void FillRecordList(WindowHandle dialog);
    void SelectRecord(WindowHandle dialog, std::int32_t index);
    void StoreCurrent(WindowHandle dialog);
    bool AskStoreLast(WindowHandle dialog);
    void SetComparison(WindowHandle dialog, bool ticked);

    // Data file.
    void LoadRecords(const char* path);
    static bool ParseRecordLine(const char* line, PersonRecord& record);
    // The save at the end: what is not on disk yet is saved, waiting at most `milliseconds` for
    // the store's writer; with `tell` a failure is shown without owner. False when it did not
    // finish.
    bool SaveRecords(std::uint32_t milliseconds = 60000, bool tell = true,
                     const PersonRecord* unstored = nullptr);
    // The measurement of both ears not yet stored, as "Übernehmen" would store it under `name`;
    // false when there is none (one ear alone is given up).
    bool UnstoredMeasurement(const char* name, PersonRecord& record) const;
    // Shows a measurement left unstored by the last session as if it had just been made.
    void RestoreUnstored(const PersonRecord& record);

    // Audiogram: paints the chart into the item rectangle; always 1.
    int DrawAudiogram(Canvas& canvas, const CanvasRect& item) const;

    RecordStore store;
    PersonRecord comparison{};
    std::atomic<std::int32_t> flags{0};
    std::int32_t toneIndex = 0;
    std::atomic<double> frequency{0.0};
    std::atomic<double> phase{0.0};
    std::atomic<double> level{0.0};
    // The amplitude of the buffer the device plays now: the ring fills four buffers ahead of
    // it, so `level` runs 1.015^4 ahead of the ear. Published by the audio thread after each
    // fill; what a press stores (see HeardLevel).
    std::atomic<double> sounding{0.0};
    double growth = 1.015;
    PersonRecord current{};
    // Set while a modal window holds the run; written by the user-interface thread only.
    std::atomic<bool> held{false};
    // Silent buffers still to play before a held tone rises again: the pause after a hold.
    // Set by the user-interface thread, counted down by the audio thread.
    std::atomic<std::int32_t> silentBuffers{0};
    // See OutputWentSilent; set by the audio thread or the user-interface thread, cleared by
    // AbandonRun and Reset while no buffer is filled.
    std::atomic<bool> outputSilent{false};

protected:
    DialogControls& controls;
    Clock& clock;
    SystemRandom random;
    OutputVolumeWatch* const volumeWatch;

private:
    // A run for one ear: clears that ear's levels and plays its first tone.
    void StartRun(std::int32_t* levels, std::int32_t ear);
    // The random pause before a tone: 0 to 3.3 s.
    std::uint32_t PauseMilliseconds();
    // Audio thread: whether this buffer stays silent (held, or a buffer of the pause taken).
    bool SilentBuffer();
    // Audio thread: notes the amplitude of the buffer just filled and publishes `sounding`.
    void NoteFilled(double amplitude);
    // The amplitude a press records: what the listener hears, never more than `level`.
    double HeardLevel() const;

    // Audio thread only: the amplitudes the last fills wrote, one per buffer from the one
    // playing now (the oldest) to the one just written.
    double filled[FillAhead - 1] = {};
    int filledNext = 0;
};
