// What a start does, from what start-up found: one row per rule, with the questions
// that cost something (the rollout id and its digest, a signature check) that the
// decision asked on the way.
#include <string>

#include "initvl2/startup_decision.h"
#include "tests/check.h"

using namespace startup_decision;

namespace {

const char kNoLine[] = "-";  // no rollout line

struct Row {
    const char* installed;
    ManifestAnswer answer;
    const char* version;
    const char* download;
    const char* rollout;           // the rollout line's value, or kNoLine
    const char* fallbackVersion;   // "" with the next one: no fallback lines
    const char* fallbackDownload;
    bool takesPartial;             // the machine's answer for a partial rollout
    bool releaseSigned;
    bool fallbackSigned;
    Action action;
    CheckFailure failure;
    const char* asked;             // the questions, in order
};

const char* Name(Action action) {
    switch (action) {
        case Action::StartInstalledSuite: return "start installed";
        case Action::InstallRelease: return "install release";
        case Action::InstallFallback: return "install fallback";
        case Action::CannotCheck: return "cannot check";
    }
    return "?";
}

void Check(const Row& row, int line, const char* fileServer = "update.example.com") {
    UpdateManifest manifest;
    manifest.version = row.version;
    manifest.downloadUrl = row.download;
    if (std::string(row.rollout) != kNoLine) {
        manifest.hasRollout = true;
        manifest.rollout = row.rollout;
    }
    manifest.fallback.version = row.fallbackVersion;
    manifest.fallback.downloadUrl = row.fallbackDownload;

    std::string asked;
    Questions questions;
    questions.takesPartialRelease = [&](int percentage) {
        asked += "rollout " + std::to_string(percentage) + ";";
        return row.takesPartial;
    };
    questions.isSigned = [&](const OfferedRelease& release) {
        asked += "signed " + release.version + ";";
        return release.version == row.version ? row.releaseSigned : row.fallbackSigned;
    };
    Outcome outcome = Decide(row.installed, row.answer, manifest, fileServer, questions);
    if (outcome.action == row.action && outcome.failure == row.failure && asked == row.asked) return;
    std::string found = std::string("installed ") + check::Show(row.installed) + ", rollout " +
                        check::Show(row.rollout) + ", fallback " + check::Show(row.fallbackVersion);
    check::Fail(__FILE__, line,
                found + ": got " + Name(outcome.action) + " (failure " +
                    std::to_string(static_cast<int>(outcome.failure)) + ") after asking \"" + asked + "\", expected " +
                    Name(row.action) + " after \"" + row.asked + "\"");
}

const ManifestAnswer Read = ManifestAnswer::Read;
const CheckFailure None = CheckFailure::None;
const CheckFailure Unusable = CheckFailure::UnusableAnswer;
const char kUrl[] = "http://h/2.02.cvz";
const char kFallbackUrl[] = "http://h/2.01.cvz";

}  // namespace

TEST_CASE(startup_decision, without_a_usable_manifest_nothing_is_asked_and_the_check_fails) {
    const Row rows[] = {
        {"2.00", ManifestAnswer::NoConnection, "", "", kNoLine, "", "", true, true, true, Action::CannotCheck,
         CheckFailure::NoConnection, ""},
        {"", ManifestAnswer::NoAnswer, "", "", kNoLine, "", "", true, true, true, Action::CannotCheck,
         CheckFailure::NoAnswer, ""},
        {"2.00", ManifestAnswer::Unusable, "2.02", kUrl, kNoLine, "", "", true, true, true, Action::CannotCheck,
         Unusable, ""},
        {"2.00", Read, "2.02", "ftp://h/2.02.cvz", kNoLine, "", "", true, true, true, Action::CannotCheck, Unusable,
         ""},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, a_manifest_that_is_not_newer_starts_the_installed_suite_and_checks_nothing) {
    const Row rows[] = {
        {"2.02", Read, "2.02", kUrl, kNoLine, "", "", true, false, false, Action::StartInstalledSuite, None, ""},
        {"2.02", Read, "2.02a", kUrl, "50", "2.01", kFallbackUrl, true, false, false, Action::StartInstalledSuite,
         None, ""},
        // Withdrawn: an older release, whatever its rollout or fallback says.
        {"2.03", Read, "2.02", kUrl, "0", "2.01", kFallbackUrl, false, true, true, Action::StartInstalledSuite, None,
         ""},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, a_whole_or_missing_rollout_installs_the_signed_release_without_drawing_an_id) {
    const Row rows[] = {
        {"2.00", Read, "2.02", kUrl, kNoLine, "", "", false, true, true, Action::InstallRelease, None, "signed 2.02;"},
        {"2.00", Read, "2.02", kUrl, "100", "2.01", kFallbackUrl, false, true, true, Action::InstallRelease, None,
         "signed 2.02;"},
        {"", Read, "2.02", kUrl, kNoLine, "", "", false, true, true, Action::InstallRelease, None, "signed 2.02;"},
        {"2.00", Read, "2.02", kUrl, kNoLine, "", "", true, false, true, Action::CannotCheck, Unusable,
         "signed 2.02;"},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, a_partial_rollout_asks_the_machine_and_only_those_within_take_the_release) {
    const Row rows[] = {
        {"2.00", Read, "2.02", kUrl, "50", "", "", true, true, true, Action::InstallRelease, None,
         "rollout 50;signed 2.02;"},
        {"2.00", Read, "2.02", kUrl, "50", "", "", false, true, true, Action::StartInstalledSuite, None,
         "rollout 50;"},
        {"2.00", Read, "2.02", kUrl, "1", "2.01", kFallbackUrl, true, false, true, Action::CannotCheck, Unusable,
         "rollout 1;signed 2.02;"},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, a_halted_or_mistyped_rollout_takes_no_machine_without_drawing_an_id) {
    for (const char* halted : {"0", "", "5%", "101", "fifty"}) {
        Check({"2.00", Read, "2.02", kUrl, halted, "", "", true, true, true, Action::StartInstalledSuite, None, ""},
              __LINE__);
        Check({"2.00", Read, "2.02", kUrl, halted, "2.01", kFallbackUrl, true, true, true, Action::InstallFallback,
               None, "signed 2.01;"},
              __LINE__);
    }
}

TEST_CASE(startup_decision, a_machine_outside_takes_a_newer_signed_fallback_and_otherwise_keeps_its_own) {
    const Row rows[] = {
        {"2.00", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, true, Action::InstallFallback, None,
         "rollout 5;signed 2.01;"},
        // Already on the fallback, or newer: nothing to fetch and nothing to check.
        {"2.01", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, true, Action::StartInstalledSuite, None,
         "rollout 5;"},
        {"2.01a", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, true, Action::StartInstalledSuite,
         None, "rollout 5;"},
        // Unsigned or wrongly signed: never installed, and the release held back is not taken instead.
        {"2.00", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, false, Action::CannotCheck, Unusable,
         "rollout 5;signed 2.01;"},
        // A fallback that cannot be fetched as it stands is a broken answer.
        {"2.00", Read, "2.02", kUrl, "5", "2.01", "ftp://h/2.01.cvz", false, true, true, Action::CannotCheck,
         Unusable, "rollout 5;"},
        {"2.00", Read, "2.02", kUrl, "5", "2.01\\..\\..\\x", kFallbackUrl, false, true, true, Action::CannotCheck,
         Unusable, "rollout 5;"},
        {"2.00", Read, "2.02", kUrl, "5", "", kFallbackUrl, false, true, true, Action::StartInstalledSuite, None,
         "rollout 5;"},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, a_fresh_install_outside_takes_the_fallback_or_with_none_the_release) {
    const Row rows[] = {
        {"", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, true, Action::InstallFallback, None,
         "rollout 5;signed 2.01;"},
        {"", Read, "2.02", kUrl, "5", "", "", false, true, true, Action::InstallRelease, None,
         "rollout 5;signed 2.02;"},
        {"", Read, "2.02", kUrl, "0", "", "", false, false, true, Action::CannotCheck, Unusable, "signed 2.02;"},
        {"", Read, "2.02", kUrl, "5", "2.01", kFallbackUrl, false, true, false, Action::CannotCheck, Unusable,
         "rollout 5;signed 2.01;"},
        {"", Read, "2.02", kUrl, "5", "", kFallbackUrl, false, true, true, Action::CannotCheck, Unusable,
         "rollout 5;"},
    };
    for (const Row& row : rows) Check(row, __LINE__);
}

TEST_CASE(startup_decision, an_https_file_server_offers_only_releases_fetched_over_https) {
    const char kHttpsUrl[] = "https://h/2.02.cvz";
    const char kHttpsFallbackUrl[] = "https://h/2.01.cvz";
    const Row rows[] = {
        {"2.00", Read, "2.02", kHttpsUrl, kNoLine, "", "", false, true, true, Action::InstallRelease, None,
         "signed 2.02;"},
        {"2.00", Read, "2.02", "HTTPS://h/2.02.cvz", kNoLine, "", "", false, true, true, Action::InstallRelease, None,
         "signed 2.02;"},
        {"2.00", Read, "2.02", kUrl, kNoLine, "", "", false, true, true, Action::CannotCheck, Unusable, ""},
        {"", Read, "2.02", "HTTP://h/2.02.cvz", kNoLine, "", "", false, true, true, Action::CannotCheck, Unusable, ""},
        {"", Read, "2.02", "https:h/2.02.cvz", kNoLine, "", "", false, true, true, Action::CannotCheck, Unusable, ""},
        {"2.00", Read, "2.02", kHttpsUrl, "5", "2.01", kHttpsFallbackUrl, false, true, true, Action::InstallFallback,
         None, "rollout 5;signed 2.01;"},
        {"2.00", Read, "2.02", kHttpsUrl, "5", "2.01", kFallbackUrl, false, true, true, Action::CannotCheck, Unusable,
         "rollout 5;"},
    };
    for (const Row& row : rows) Check(row, __LINE__, "https://update.example.com");
}

TEST_CASE(startup_decision, a_folder_that_lost_its_suite_gets_its_version_again_whole_and_only_a_whole_one_is_built_from) {
    struct Row {
        const char* what;
        bool whole;
        const char* offered;
        Action action;
        bool listed;  // the update may build from the release's file list
    } rows[] = {
        {"whole, newer offered", true, "2.03", Action::InstallRelease, true},
        {"whole, the same offered", true, "2.02", Action::StartInstalledSuite, false},
        {"not whole, the same offered: repaired", false, "2.02", Action::InstallRelease, false},
        {"not whole, a longer text of the same version: repaired", false, "2.02a", Action::InstallRelease, false},
        {"not whole, newer offered: the update comes whole", false, "2.03", Action::InstallRelease, false},
        {"not whole, an older one offered: nothing fetched", false, "2.01", Action::StartInstalledSuite, false},
    };
    for (const Row& row : rows) {
        UpdateManifest manifest;
        manifest.version = row.offered;
        manifest.downloadUrl = kUrl;
        manifest.fileListUrl = "http://h/2.list";
        Questions questions;
        questions.takesPartialRelease = [](int) { return true; };
        questions.isSigned = [](const OfferedRelease&) { return true; };
        Installed installed("2.02");
        installed.whole = row.whole;
        Outcome outcome = Decide(installed, Read, manifest, "update.example.com", questions);
        if (outcome.action != row.action || outcome.fileListUrl.empty() == row.listed)
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
    }
}

TEST_CASE(startup_decision, every_state_a_cut_off_update_leaves_starts_a_whole_recorded_suite_or_finishes_the_switch) {
    // One row per phase of the run an update can be cut off in, and per way the
    // suite on disk can have gone.
    struct Row {
        const char* when;
        const char* recorded;
        bool recordedWhole;
        std::vector<std::string> otherWhole;
        const char* switching;
        bool switchingWhole;
        LocalAction action;
        std::vector<std::string> versions;
        bool repair;
    } rows[] = {
        {"a fresh install cut off before its switch", "", false, {}, "", false, LocalAction::Install, {}, false},
        {"a fresh install cut off in its switch", "", false, {"2.01"}, "2.01", true, LocalAction::FinishSwitch,
         {"2.01"}, false},
        {"an update fetching, downloading or unpacking (the staging only)", "2.01", true, {}, "", false,
         LocalAction::Start, {"2.01"}, false},
        {"an update whose folder was named before its switch was recorded", "2.01", true, {}, "", false,
         LocalAction::Start, {"2.01"}, false},
        {"an update cut off after its switch was recorded", "2.01", true, {}, "2.02", true, LocalAction::FinishSwitch,
         {"2.02"}, false},
        {"an update cut off after the new version was recorded", "2.02", true, {}, "2.02", true,
         LocalAction::FinishSwitch, {"2.02"}, false},
        {"an update whose switch was done", "2.02", true, {}, "", false, LocalAction::Start, {"2.02"}, false},
        {"a switch recorded whose folder has gone since", "2.01", true, {}, "2.02", false, LocalAction::Start,
         {"2.01"}, false},
        {"the recorded suite gone, older ones whole", "2.02", false, {"2.01", "2.00"}, "", false, LocalAction::Start,
         {"2.01", "2.00"}, true},
        {"the recorded suite gone and nothing else", "2.02", false, {}, "", false, LocalAction::Install, {}, true},
    };
    for (const Row& row : rows) {
        OnDisk disk;
        disk.recorded = row.recorded;
        disk.recordedWhole = row.recordedWhole;
        disk.otherWhole = row.otherWhole;
        disk.switching = row.switching;
        disk.switchingWhole = row.switchingWhole;
        LocalChoice choice = ChooseOnDisk(disk);
        if (choice.action != row.action || choice.versions != row.versions || choice.repair != row.repair)
            CHECK_EQ(std::string(row.when), std::string("as the row says"));
    }
}

TEST_CASE(startup_decision, a_release_that_did_not_start_is_taken_again_only_when_a_newer_one_comes) {
    struct Row {
        const char* what;
        const char* offered;
        const char* rollout;
        const char* fallback;
        Action action;
    } rows[] = {
        {"the same release again", "2.02", kNoLine, "", Action::StartInstalledSuite},
        {"a longer text of it", "2.02a", kNoLine, "", Action::StartInstalledSuite},
        {"a newer release", "2.03", kNoLine, "", Action::InstallRelease},
        {"the same release, its fallback no newer than what is installed", "2.02", "50", "2.01",
         Action::StartInstalledSuite},
    };
    for (const Row& row : rows) {
        UpdateManifest manifest;
        manifest.version = row.offered;
        manifest.downloadUrl = kUrl;
        if (std::string(row.rollout) != kNoLine) {
            manifest.hasRollout = true;
            manifest.rollout = row.rollout;
        }
        manifest.fallback.version = row.fallback;
        manifest.fallback.downloadUrl = *row.fallback ? kFallbackUrl : "";
        Questions questions;
        questions.takesPartialRelease = [](int) { return true; };
        questions.isSigned = [](const OfferedRelease&) { return true; };
        Installed installed("2.01");
        installed.failed = "2.02";
        if (Decide(installed, Read, manifest, "update.example.com", questions).action != row.action)
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
    }
}

TEST_CASE(startup_decision, a_start_waits_for_the_server_only_until_its_deadline) {
    LocalChoice installed;
    installed.action = LocalAction::Start;
    installed.versions = {"2.01"};
    LocalChoice nothing;  // a fresh install: nothing to start
    const Action Start = Action::StartInstalledSuite, Update = Action::InstallRelease, None = Action::CannotCheck;
    struct Row {
        const char* what;
        const LocalChoice& local;
        AnswerTiming timing;
        Action decided;
        bool atDeadline, now, install, withSuiteRunning;
    } rows[] = {
        {"in time, current: the suite starts once the answer is in", installed, AnswerTiming::InTime, Start, false,
         true, false, false},
        {"in time, an update: it runs as always", installed, AnswerTiming::InTime, Update, false, false, true, false},
        {"late, an update: the suite first, then the update beside it", installed, AnswerTiming::Late, Update, true,
         false, true, true},
        {"late, current: the suite at the deadline, nothing more", installed, AnswerTiming::Late, Start, true, false,
         false, false},
        {"never: the suite at the deadline", installed, AnswerTiming::Never, None, true, false, false, false},
        {"a fresh install waits for the answer", nothing, AnswerTiming::Late, Update, false, false, true, false},
        {"a fresh install that never hears: nothing starts", nothing, AnswerTiming::Never, None, false, false, false,
         false},
    };
    for (const Row& row : rows) {
        StartPlan plan = PlanStart(row.local, row.timing, row.decided);
        if (plan.startAtDeadline != row.atDeadline || plan.startNow != row.now || plan.install != row.install ||
            plan.suiteStartedFirst != row.withSuiteRunning)
            CHECK_EQ(std::string(row.what), std::string("as the row says"));
    }
}
