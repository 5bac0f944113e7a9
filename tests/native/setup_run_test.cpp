// The install run's rules, with time passed in: what each event sequence makes the
// run do, in each mode, and where it ends.
#include <string>
#include <vector>

#include "install/setup_run.h"
#include "tests/check.h"

using namespace install;

namespace {

enum class Event { Begin, Accept, Decline, NoThread, NotStopped, Bytes, Downloaded, Resumed, Broken, TooLarge,
                   NoRoom, Entries, Unpacked, NotSigned, Damaged, UnpackNoRoom, Finish, NotPlaced, Installed,
                   NoUninstaller, Tick, ChangedBytes, Changed, ChangesInDoubt, ChangesNoRoom };

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
        case RunAction::Install: return "switch";
        case RunAction::GiveUp: return "give up";
        case RunAction::RecordDecline: return "record decline";
    }
    return "?";
}

// Feeds the events to a new run; returns what it asked for, in order ("start
// installed" where a step starts the installed suite, "from nothing" where a
// download keeps nothing of an earlier one), with the last step's message.
struct Outcome {
    std::string actions;
    RunPhase phase;
    RunMessage message = RunMessage::None;
};

RunStep Feed(SetupRun& run, const Input& input) {
    switch (input.event) {
        case Event::Begin: return run.Begin();
        case Event::Accept: return run.AcceptTerms();
        case Event::Decline: return run.DeclineTerms();
        case Event::NoThread: return run.WorkerNotStarted();
        case Event::NotStopped: return run.WorkerDidNotStop();
        case Event::Bytes: run.DownloadProgress(input.a, input.b); return {};
        case Event::Downloaded: return run.DownloadEnded(DownloadOutcome::Complete, false);
        case Event::Resumed: return run.DownloadEnded(DownloadOutcome::Complete, true);
        case Event::Broken: return run.DownloadEnded(DownloadOutcome::Incomplete, false);
        case Event::TooLarge: return run.DownloadEnded(DownloadOutcome::TooLarge, false);
        case Event::NoRoom: return run.DownloadEnded(DownloadOutcome::DiskFull, false);
        case Event::Entries: run.UnpackProgress(static_cast<int>(input.a), static_cast<int>(input.b)); return {};
        case Event::Unpacked: return run.UnpackEnded(UnpackOutcome::Completed);
        case Event::NotSigned: return run.UnpackEnded(UnpackOutcome::NotVerified);
        case Event::Damaged: return run.UnpackEnded(UnpackOutcome::Failed);
        case Event::UnpackNoRoom: return run.UnpackEnded(UnpackOutcome::DiskFull);
        case Event::Finish: return run.Finish();
        case Event::NotPlaced: return run.NotPlaced();
        case Event::Installed: return run.Installed(true);
        case Event::NoUninstaller: return run.Installed(false);
        case Event::Tick: return run.Tick(static_cast<unsigned>(input.a));
        case Event::ChangedBytes: run.ChangesProgress(input.a, input.b); return {};
        case Event::Changed: return run.ChangesEnded(ChangesOutcome::Built);
        case Event::ChangesInDoubt: return run.ChangesEnded(ChangesOutcome::Doubt);
        case Event::ChangesNoRoom: return run.ChangesEnded(ChangesOutcome::DiskFull);
    }
    return {};
}

Outcome Play(RunMode mode, bool suiteRunning, bool changesOffered, const std::vector<Input>& inputs) {
    SetupRun run(mode, suiteRunning, changesOffered);
    Outcome outcome;
    auto say = [&outcome](const char* what) {
        outcome.actions += std::string(outcome.actions.empty() ? "" : ", ") + what;
    };
    for (const Input& input : inputs) {
        RunStep step = Feed(run, input);
        if (step.action != RunAction::None) say(Name(step.action));
        if (step.downloadFromNothing) say("from nothing");
        if (step.startInstalledSuite) say("start installed");
        if (step.message != RunMessage::None) outcome.message = step.message;
    }
    outcome.phase = run.Phase();
    return outcome;
}

const RunMode Fresh = RunMode::FreshInstall, Update = RunMode::Update;
const Input begin{Event::Begin}, accept{Event::Accept}, decline{Event::Decline}, noThread{Event::NoThread},
    notStopped{Event::NotStopped}, downloaded{Event::Downloaded}, resumed{Event::Resumed}, broken{Event::Broken},
    tooLarge{Event::TooLarge}, noRoom{Event::NoRoom}, unpacked{Event::Unpacked}, notSigned{Event::NotSigned},
    damaged{Event::Damaged}, unpackNoRoom{Event::UnpackNoRoom}, finish{Event::Finish}, notPlaced{Event::NotPlaced},
    installed{Event::Installed}, noUninstaller{Event::NoUninstaller}, changed{Event::Changed},
    inDoubt{Event::ChangesInDoubt}, changesNoRoom{Event::ChangesNoRoom};
Input ChangedBytes(unsigned long long fetched) { return {Event::ChangedBytes, fetched, 0}; }
Input Bytes(unsigned long long received, unsigned long long total = 1000) { return {Event::Bytes, received, total}; }
Input Tick(unsigned long long milliseconds) { return {Event::Tick, milliseconds}; }

}  // namespace

TEST_CASE(setup_run, each_way_an_install_can_go_ends_as_the_transaction_rules_say) {
    const RunPhase Installed = RunPhase::Installed, GaveUp = RunPhase::GaveUp;
    struct Row {
        const char* what;
        RunMode mode;
        bool suiteRunning;
        bool changesOffered;
        std::vector<Input> inputs;
        const char* actions;
        RunPhase phase;
        RunMessage message;
    } rows[] = {
        {"fresh: the whole way", Fresh, false, false, {begin, accept, Bytes(500), downloaded, unpacked, finish, installed},
         "download, unpack, switch", Installed, RunMessage::None},
        {"fresh: declined", Fresh, false, false, {begin, decline, accept}, "record decline", RunPhase::Declined,
         RunMessage::None},
        {"fresh: accepted twice, declined late", Fresh, false, false, {begin, accept, accept, decline}, "download",
         RunPhase::Downloading, RunMessage::None},
        {"fresh: Finish before the last entry does nothing", Fresh, false, false,
         {begin, finish, accept, finish, downloaded, finish, Input{Event::Entries, 9, 10}, finish},
         "download, unpack", RunPhase::Unpacking, RunMessage::None},
        {"fresh: Finish once the folder is whole", Fresh, false, false, {begin, accept, downloaded, unpacked, finish, finish},
         "download, unpack, switch", RunPhase::Installing, RunMessage::None},
        {"fresh: download failed", Fresh, false, false, {begin, accept, broken}, "download, give up", GaveUp,
         RunMessage::DownloadFailed},
        {"fresh: a package past its bound", Fresh, false, false, {begin, accept, tooLarge}, "download, give up", GaveUp,
         RunMessage::DownloadFailed},
        {"fresh: no room for the package", Fresh, false, false, {begin, accept, noRoom}, "download, give up", GaveUp,
         RunMessage::DiskFull},
        {"fresh: no room for what it holds", Fresh, false, false, {begin, accept, downloaded, unpackNoRoom},
         "download, unpack, give up", GaveUp, RunMessage::DiskFull},
        {"fresh: 60 s without a byte", Fresh, false, false, {begin, accept, Bytes(10), Tick(30000), Tick(29999), Tick(1)},
         "download, give up", GaveUp, RunMessage::DownloadFailed},
        {"fresh: a digest that does not match", Fresh, false, false, {begin, accept, downloaded, notSigned},
         "download, unpack, give up", GaveUp, RunMessage::NotVerified},
        {"fresh: a resumed package that does not match is fetched once more from nothing", Fresh, false, false,
         {begin, accept, resumed, notSigned, resumed, notSigned}, "download, unpack, download, from nothing, unpack, give up",
         GaveUp, RunMessage::NotVerified},
        {"fresh: an entry not extracted", Fresh, false, false, {begin, accept, downloaded, damaged},
         "download, unpack, give up", GaveUp, RunMessage::UnpackFailed},
        {"fresh: no thread", Fresh, false, false, {begin, accept, noThread}, "download, give up", GaveUp,
         RunMessage::WorkerNotStarted},
        {"fresh: the new folder cannot be named", Fresh, false, false, {begin, accept, downloaded, unpacked, finish, notPlaced},
         "download, unpack, switch, give up", GaveUp, RunMessage::UnpackFailed},
        {"fresh: uninstaller not written", Fresh, false, false, {begin, accept, downloaded, unpacked, finish, noUninstaller},
         "download, unpack, switch", Installed, RunMessage::UninstallerNotWritten},
        {"update: the whole way, the suite asked to quit only with the folder whole", Update, true, false,
         {begin, Bytes(999), Tick(10000), downloaded, Tick(10000), unpacked, installed}, "download, unpack, switch",
         Installed, RunMessage::None},
        {"update: download failed", Update, true, false, {begin, broken}, "download, give up, start installed", GaveUp,
         RunMessage::None},
        {"update: no room says nothing", Update, true, false, {begin, noRoom}, "download, give up, start installed",
         GaveUp, RunMessage::None},
        {"update: 60 s without a byte", Update, true, false, {begin, Bytes(1), Tick(59999), Tick(1), downloaded},
         "download, give up, start installed", GaveUp, RunMessage::None},
        {"update: bytes keep coming", Update, true, false, {begin, Bytes(1), Tick(59999), Bytes(2), Tick(59999), downloaded},
         "download, unpack", RunPhase::Unpacking, RunMessage::None},
        {"update: a digest that does not match", Update, true, false, {begin, downloaded, notSigned},
         "download, unpack, give up, start installed", GaveUp, RunMessage::None},
        {"update: an entry not extracted", Update, true, false, {begin, downloaded, damaged},
         "download, unpack, give up, start installed", GaveUp, RunMessage::None},
        {"update: the new folder cannot be named", Update, true, false, {begin, downloaded, unpacked, notPlaced},
         "download, unpack, switch, give up, start installed", GaveUp, RunMessage::None},
        {"update: uninstaller not written tells nobody", Update, true, false, {begin, downloaded, unpacked, noUninstaller},
         "download, unpack, switch", Installed, RunMessage::None},
        {"update: a quick update with the suite not running starts nothing early", Update, false, false,
         {begin, Tick(2999), downloaded, unpacked, installed}, "download, unpack, switch", Installed, RunMessage::None},
        {"update: a slow one starts the installed suite once", Update, false, false,
         {begin, Tick(3000), Tick(3000), downloaded, unpacked, installed}, "download, start installed, unpack, switch",
         Installed, RunMessage::None},
        {"update: failing after starting the suite does not start it again", Update, false, false,
         {begin, Tick(3000), broken}, "download, start installed, give up", GaveUp, RunMessage::None},
        {"update: only what changed, and the suite asked to quit only with the folder whole", Update, true, true,
         {begin, ChangedBytes(100), Tick(59000), ChangedBytes(200), Tick(59000), changed, installed},
         "fetch changes, switch", Installed, RunMessage::None},
        {"update: a doubt about the changes fetches the whole package", Update, true, true,
         {begin, inDoubt, downloaded, unpacked, installed}, "fetch changes, download, unpack, switch", Installed,
         RunMessage::None},
        {"update: no room for the changes gives up", Update, true, true, {begin, changesNoRoom},
         "fetch changes, give up, start installed", GaveUp, RunMessage::None},
        {"update: changes that stall for 60 s give way to the whole package", Update, true, true,
         {begin, ChangedBytes(10), Tick(60000), changed, Bytes(5), Tick(59999)}, "fetch changes, download",
         RunPhase::Downloading, RunMessage::None},
        {"update: changes that will not stop end the run", Update, true, true, {begin, Tick(60000), notStopped},
         "fetch changes, download, give up, start installed", GaveUp, RunMessage::None},
        {"update: no thread for the changes fetches the whole package", Update, true, true, {begin, noThread},
         "fetch changes, download", RunPhase::Downloading, RunMessage::None},
        {"update: the whole package failing after the changes gives up", Update, true, true, {begin, inDoubt, broken},
         "fetch changes, download, give up, start installed", GaveUp, RunMessage::None},
        {"fresh: never builds from changes", Fresh, false, true, {begin, accept, changed, downloaded}, "download, unpack",
         RunPhase::Unpacking, RunMessage::None},
        {"update: the terms and Finish mean nothing", Update, true, false, {begin, decline, accept, finish, downloaded},
         "download, unpack", RunPhase::Unpacking, RunMessage::None},
    };
    for (const Row& row : rows) {
        Outcome got = Play(row.mode, row.suiteRunning, row.changesOffered, row.inputs);
        if (got.actions != row.actions || got.phase != row.phase || got.message != row.message) {
            std::printf("    %s: actions \"%s\", phase %d, message %d\n", row.what, got.actions.c_str(),
                        static_cast<int>(got.phase), static_cast<int>(got.message));
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
        if (input.event == Event::Downloaded) run.DownloadEnded(DownloadOutcome::Complete, false);
        if (input.event == Event::Entries) run.UnpackProgress(static_cast<int>(input.a), static_cast<int>(input.b));
        if (input.event == Event::Unpacked) run.UnpackEnded(UnpackOutcome::Completed);
        ProgressDisplay now = run.Display();
        CHECK(Further(now, shown) == now);
        shown = now;
    }
    CHECK(shown == DisplayForStep(kLastProgressStep));
}
