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
