// The install run's rules, with time passed in: what each event sequence makes the
// run do, in each mode, and where it ends.
#include <string>
#include <vector>

#include "install/setup_run.h"
#include "tests/check.h"

using namespace install;

namespace {

enum class Event { Begin, Accept, Decline, NoThread, Bytes, Downloaded, Broken, Entries, Unpacked, NotSigned,
                   Damaged, Finish, Installed, NoUninstaller, Tick, ChangedBytes, Changed, ChangesInDoubt };

struct Input {
    Event event;
    unsigned long long a = 0, b = 0;  // bytes received and total, entries done and count, milliseconds
};

const char* Name(RunAction action) {
    switch (action) {
        case RunAction::None: return "";
        case RunAction::StartChanges: return "fetch changes";
        case RunAction::StartDownload: return "download";
        case RunAction::StartUnpacking: return "unpack";
        case RunAction::StartInstalledSuite: return "start installed";
        case RunAction::Install: return "quit and install";
        case RunAction::GiveUp: return "give up";
        case RunAction::RecordDecline: return "record decline";
    }
    return "?";
}

// Feeds the events to a new run; returns the actions it asked for, in order,
// with the last step's message and whether it restarts the installed suite.
struct Outcome {
    std::string actions;
    RunPhase phase;
    RunMessage message = RunMessage::None;
    bool startInstalled = false;
};

Outcome Play(RunMode mode, bool suiteRunning, bool changesOffered, const std::vector<Input>& inputs) {
    SetupRun run(mode, suiteRunning, changesOffered);
    Outcome outcome;
    for (const Input& input : inputs) {
        RunStep step;
        switch (input.event) {
            case Event::Begin: step = run.Begin(); break;
            case Event::Accept: step = run.AcceptTerms(); break;
            case Event::Decline: step = run.DeclineTerms(); break;
            case Event::NoThread: step = run.WorkerNotStarted(); break;
            case Event::Bytes: run.DownloadProgress(input.a, input.b); break;
            case Event::Downloaded: step = run.DownloadEnded(true); break;
            case Event::Broken: step = run.DownloadEnded(false); break;
            case Event::Entries: run.UnpackProgress(static_cast<int>(input.a), static_cast<int>(input.b)); break;
            case Event::Unpacked: step = run.UnpackEnded(UnpackOutcome::Completed); break;
            case Event::NotSigned: step = run.UnpackEnded(UnpackOutcome::NotVerified); break;
            case Event::Damaged: step = run.UnpackEnded(UnpackOutcome::Failed); break;
            case Event::Finish: step = run.Finish(); break;
            case Event::Installed: step = run.Installed(true); break;
            case Event::NoUninstaller: step = run.Installed(false); break;
            case Event::Tick: step = run.Tick(static_cast<unsigned>(input.a)); break;
            case Event::ChangedBytes: run.ChangesProgress(input.a, input.b); break;
            case Event::Changed: step = run.ChangesEnded(true); break;
            case Event::ChangesInDoubt: step = run.ChangesEnded(false); break;
        }
        if (step.action != RunAction::None) outcome.actions += std::string(outcome.actions.empty() ? "" : ", ") + Name(step.action);
        if (step.message != RunMessage::None) outcome.message = step.message;
        outcome.startInstalled = outcome.startInstalled || step.startInstalledSuite;
    }
    outcome.phase = run.Phase();
    return outcome;
}

const RunMode Fresh = RunMode::FreshInstall, Update = RunMode::Update;
const Input begin{Event::Begin}, accept{Event::Accept}, decline{Event::Decline}, noThread{Event::NoThread},
    downloaded{Event::Downloaded}, broken{Event::Broken}, unpacked{Event::Unpacked}, notSigned{Event::NotSigned},
    damaged{Event::Damaged}, finish{Event::Finish}, installed{Event::Installed}, noUninstaller{Event::NoUninstaller},
    changed{Event::Changed}, inDoubt{Event::ChangesInDoubt};
Input ChangedBytes(unsigned long long fetched) { return {Event::ChangedBytes, fetched, 0}; }
Input Bytes(unsigned long long received, unsigned long long total = 1000) { return {Event::Bytes, received, total}; }
Input Tick(unsigned long long milliseconds) { return {Event::Tick, milliseconds}; }

}  // namespace

TEST_CASE(setup_run, each_way_an_install_can_go_ends_as_the_transaction_rules_say) {
    struct Row {
        const char* what;
        RunMode mode;
        bool suiteRunning;
        bool changesOffered;
        std::vector<Input> inputs;
        const char* actions;
        RunPhase phase;
        RunMessage message;
        bool startInstalled;
    } rows[] = {
        {"fresh: the whole way", Fresh, false, false, {begin, accept, Bytes(500), downloaded, unpacked, finish, installed},
         "download, unpack, quit and install", RunPhase::Ended, RunMessage::None, false},
        {"fresh: declined", Fresh, false, false, {begin, decline, accept}, "record decline", RunPhase::Ended,
         RunMessage::None, false},
        {"fresh: accepted twice, declined late", Fresh, false, false, {begin, accept, accept, decline}, "download",
         RunPhase::Downloading, RunMessage::None, false},
        {"fresh: Finish before the last entry does nothing", Fresh, false, false,
         {begin, finish, accept, finish, downloaded, finish, Input{Event::Entries, 9, 10}, finish},
         "download, unpack", RunPhase::Unpacking, RunMessage::None, false},
        {"fresh: Finish once the folder is whole", Fresh, false, false, {begin, accept, downloaded, unpacked, finish, finish},
         "download, unpack, quit and install", RunPhase::Installing, RunMessage::None, false},
        {"fresh: download failed", Fresh, false, false, {begin, accept, broken}, "download, give up", RunPhase::Ended,
         RunMessage::DownloadFailed, false},
        {"fresh: 60 s without a byte", Fresh, false, false, {begin, accept, Bytes(10), Tick(30000), Tick(29999), Tick(1)},
         "download, give up", RunPhase::Ended, RunMessage::DownloadFailed, false},
        {"fresh: a digest that does not match", Fresh, false, false, {begin, accept, downloaded, notSigned},
         "download, unpack, give up", RunPhase::Ended, RunMessage::NotVerified, false},
        {"fresh: an entry not extracted", Fresh, false, false, {begin, accept, downloaded, damaged},
         "download, unpack, give up", RunPhase::Ended, RunMessage::UnpackFailed, false},
        {"fresh: no thread", Fresh, false, false, {begin, accept, noThread}, "download, give up", RunPhase::Ended,
         RunMessage::WorkerNotStarted, false},
        {"fresh: uninstaller not written", Fresh, false, false, {begin, accept, downloaded, unpacked, finish, noUninstaller},
         "download, unpack, quit and install", RunPhase::Ended, RunMessage::UninstallerNotWritten, false},
        {"update: the whole way, the suite asked to quit only with the folder whole", Update, true, false,
         {begin, Bytes(999), Tick(10000), downloaded, Tick(10000), unpacked, installed},
         "download, unpack, quit and install", RunPhase::Ended, RunMessage::None, false},
        {"update: download failed", Update, true, false, {begin, broken}, "download, give up", RunPhase::Ended,
         RunMessage::None, true},
        {"update: 60 s without a byte", Update, true, false, {begin, Bytes(1), Tick(59999), Tick(1), downloaded},
         "download, give up", RunPhase::Ended, RunMessage::None, true},
        {"update: bytes keep coming", Update, true, false, {begin, Bytes(1), Tick(59999), Bytes(2), Tick(59999), downloaded},
         "download, unpack", RunPhase::Unpacking, RunMessage::None, false},
        {"update: a digest that does not match", Update, true, false, {begin, downloaded, notSigned},
         "download, unpack, give up", RunPhase::Ended, RunMessage::None, true},
        {"update: an entry not extracted", Update, true, false, {begin, downloaded, damaged}, "download, unpack, give up",
         RunPhase::Ended, RunMessage::None, true},
        {"update: uninstaller not written tells nobody", Update, true, false, {begin, downloaded, unpacked, noUninstaller},
         "download, unpack, quit and install", RunPhase::Ended, RunMessage::None, false},
        {"update: a quick update with the suite not running starts nothing early", Update, false, false,
         {begin, Tick(2999), downloaded, unpacked, installed}, "download, unpack, quit and install", RunPhase::Ended,
         RunMessage::None, false},
        {"update: a slow one starts the installed suite once", Update, false, false,
         {begin, Tick(3000), Tick(3000), downloaded, unpacked, installed},
         "download, start installed, unpack, quit and install", RunPhase::Ended, RunMessage::None, false},
        {"update: failing after starting the suite does not start it again", Update, false, false,
         {begin, Tick(3000), broken}, "download, start installed, give up", RunPhase::Ended, RunMessage::None, false},
        {"update: only what changed, and the suite asked to quit only with the folder whole", Update, true, true,
         {begin, ChangedBytes(100), Tick(59000), ChangedBytes(200), Tick(59000), changed, installed},
         "fetch changes, quit and install", RunPhase::Ended, RunMessage::None, false},
        {"update: a doubt about the changes fetches the whole package", Update, true, true,
         {begin, inDoubt, downloaded, unpacked, installed}, "fetch changes, download, unpack, quit and install",
         RunPhase::Ended, RunMessage::None, false},
        {"update: changes that stall for 60 s give way to the whole package", Update, true, true,
         {begin, ChangedBytes(10), Tick(60000), changed, Bytes(5), Tick(59999)}, "fetch changes, download",
         RunPhase::Downloading, RunMessage::None, false},
        {"update: no thread for the changes fetches the whole package", Update, true, true, {begin, noThread},
         "fetch changes, download", RunPhase::Downloading, RunMessage::None, false},
        {"update: the whole package failing after the changes gives up", Update, true, true,
         {begin, inDoubt, broken}, "fetch changes, download, give up", RunPhase::Ended, RunMessage::None, true},
        {"fresh: never builds from changes", Fresh, false, true, {begin, accept, changed, downloaded},
         "download, unpack", RunPhase::Unpacking, RunMessage::None, false},
        {"update: the terms and Finish mean nothing", Update, true, false, {begin, decline, accept, finish, downloaded},
         "download, unpack", RunPhase::Unpacking, RunMessage::None, false},
    };
    for (const Row& row : rows) {
        Outcome got = Play(row.mode, row.suiteRunning, row.changesOffered, row.inputs);
        if (got.actions != row.actions || got.phase != row.phase || got.message != row.message ||
            got.startInstalled != row.startInstalled) {
            std::printf("    %s: actions \"%s\", phase %d, message %d, start installed %d\n", row.what,
                        got.actions.c_str(), static_cast<int>(got.phase), static_cast<int>(got.message),
                        got.startInstalled);
            CHECK_EQ(std::string(row.what), std::string("as the table says"));
        }
    }
}

TEST_CASE(setup_run, the_display_follows_the_bytes_then_the_entries_and_never_goes_back) {
    SetupRun run(RunMode::FreshInstall, false);
    run.Begin();
    CHECK(run.Display() == kNothingShown);
    run.AcceptTerms();
    ProgressDisplay shown = run.Display();
    CHECK(shown == DisplayForStep(1));
    const Input script[] = {Bytes(250), Bytes(100), Bytes(1000), {Event::Downloaded}, {Event::Entries, 0, 4},
                            {Event::Entries, 2, 4}, {Event::Entries, 4, 4}, {Event::Unpacked}};
    for (const Input& input : script) {
        if (input.event == Event::Bytes) run.DownloadProgress(input.a, input.b);
        if (input.event == Event::Downloaded) run.DownloadEnded(true);
        if (input.event == Event::Entries) run.UnpackProgress(static_cast<int>(input.a), static_cast<int>(input.b));
        if (input.event == Event::Unpacked) run.UnpackEnded(UnpackOutcome::Completed);
        ProgressDisplay now = run.Display();
        CHECK(Further(now, shown) == now);
        shown = now;
    }
    CHECK(shown == DisplayForStep(kLastProgressStep));
}
