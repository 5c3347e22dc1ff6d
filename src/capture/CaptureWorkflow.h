#pragma once
// The steps of a capture on a session and the one routine that runs them start to end (set-up ->
// trigger -> wait -> read-out -> capture record -> optional data file) for the command-line tool,
// the monitor and the Python module. The window runs the same steps one by one around its event
// loop (count-down, busy-line poll, auto read-out). No widgets: callers show progress through the hooks.
#include "capture/BufferReadout.h"
#include "capture/CaptureRecord.h"
#include "datalog/DataFile.h"
#include "device/BenchSession.h"

#include <QString>
#include <functional>
#include <optional>

namespace capture {

// STATUS bit the sensor sets when a capture has finished and its buffers hold it.
constexpr int32_t kDataReadyBit = 0x0080;

// Reads STATUS and keeps its bits in the session for the data file's status line; nullopt when no
// interface answers.
std::optional<int32_t> ReadStatusWord(BenchSession& session);

struct ReadOutResult {
    bool complete = false;
    bool overrun = false;              // lost because a newer capture finished during the read-out
    QString reason;                    // why the capture was lost
    BufferReadout::ScalarTexts texts;  // the five readings as the window shows them
    CaptureRecord::Record record;      // the capture, when complete
};

// Supply, temperature, peaks and the three buffers, then CAPT_CTRL, into a new record stamped with
// its context. Only a complete read-out replaces the session's last capture; a failed one leaves
// the previous capture in place. `stillCurrent`, when given, is asked after the last read whether the
// buffers still hold the capture the read-out began on.
ReadOutResult ReadOut(BenchSession& session, int avgExponent, const std::function<bool()>& stillCurrent = {});

// Automatic and event modes: the sensor captures by itself and sets Data Ready after each capture.
// For a STATUS word polled with Data Ready set: clears the status, so that a capture finishing
// during the read-out sets Data Ready again, and reads the capture out. When one did finish, the
// buffers may hold parts of two captures: the read-out counts as lost (overrun) and the next poll
// reads the newer capture whole. The kept status bits stay those of the poll.
ReadOutResult ReadReadyCapture(BenchSession& session, int avgExponent);
// How often to poll STATUS for a new capture: every 300 ms at most, never faster than a capture.
int PollIntervalMs(double captureSeconds);
// Time to read one capture out before a read-out has been timed: one frame pair per sample the
// faithful way, batched card transfers the fast way (as measured on the virtual card; a real
// card is slower, so the window goes by its own measurement once it has one).
double NominalReadOutSeconds(bool fast);
// What auto read-out has made of the captures the sensor finished by itself.
struct AutoReadoutCount {
    int read = 0;
    int dropped = 0;   // finished but never read: overwritten before, or overtaken during, a read-out
    // A capture seen finished at `now` (seconds, monotonic) and whether it was read whole. In
    // automatic mode (`intervalSeconds` > 0) the captures finished since the first one seen tell
    // how many were overwritten unread; counting from the first keeps the poll's jitter from adding up.
    void Seen(double now, double intervalSeconds, bool readWhole);
    QString Text() const; // "12 read" or "12 read, 3 dropped"

private:
    std::optional<double> first_;
};
// The warning for an automatic-mode interval (seconds; 0 or less: not known) too short for a
// capture, or, when auto read-out must keep up (`readOutSeconds` given), for a capture and its
// read-out; nullopt when it is long enough. `fast`: the read-out already goes the fast way.
std::optional<QString> IntervalWarning(double interval, double captureSeconds,
                                       std::optional<double> readOutSeconds, bool fast);
// The automatic-mode interval (CAPT_PRD) in seconds; nullopt for a unit the sensor does not have.
std::optional<double> IntervalSeconds(int32_t captPrd);

// What the caller sees while waiting.
struct WaitHooks {
    std::function<void(double secondsLeft)> showCountDown; // once per 0.1 s step
    std::function<bool()> aborted;                        // the user ended the wait
    std::function<void(int ms)> pause;                    // one step (default: sleep)
    std::function<std::optional<int32_t>()> readStatus;   // STATUS (default: the session's ReadStatusWord)
};

enum class WaitOutcome { Finished, Aborted, NotFinished };

// The trigger step: clears the status (and reads it, through the hooks), then starts a capture,
// starts automatic mode or arms for an event, as the mode set says.
void Trigger(BenchSession& session, const WaitHooks& hooks);
// The count-down: 110 % of `seconds` in 0.1 s steps. False when aborted.
bool CountDown(double seconds, const WaitHooks& hooks);
// Reads STATUS until the sensor reports the capture finished (Data Ready), pausing 0.1 s between
// reads for at most `boundSeconds`: a capture that is late is waited for, never read half-done.
WaitOutcome AwaitDataReady(BenchSession& session, double boundSeconds, const WaitHooks& hooks);
// Why a wait that did not end Finished lost the capture.
QString WaitLossReason(BenchSession& session, WaitOutcome outcome);
// How long to wait on past the count-down for a late capture.
double LateCaptureBound(double captureSeconds);

// Capture time in seconds of a product's averaging (three buffers' worth in an extended mode);
// nullopt for an unknown product.
std::optional<double> CaptureSeconds(int product, bool writeFlash, int avgExponent, bool extended);

struct Setup {
    int modeIndex = 0;    // 0 manual, 3..5 extended X/Y/Z
    int avgExponent = 0;
};

struct RunResult {
    WaitOutcome wait = WaitOutcome::NotFinished;
    ReadOutResult readOut;
    QString waitReason;                        // why the wait lost the capture
    std::optional<DataLog::WriteResult> file;  // when a file was asked for and the capture is complete
    bool Complete() const { return wait == WaitOutcome::Finished && readOut.complete; }
    QString LossReason() const { return wait == WaitOutcome::Finished ? readOut.reason : waitReason; }
};

// Writes the mode (other CAPT_CTRL fields kept) and AVG_CNT, then for the capture: clear status,
// trigger, count down, wait for Data Ready, read out, and write the next file of `series` when one
// is given (in the program's locale, stamped now).
RunResult ConfigureAndCapture(BenchSession& session, const Setup& setup, const WaitHooks& hooks,
                              DataLog::Series* series = nullptr);

// The window's message for a lost capture.
QString LostCaptureMessage(const QString& reason);

} // namespace capture
