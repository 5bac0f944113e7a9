// cvztool's release-signing commands, for the release engineer:
//
//   cvztool keygen KEYFILE                    a new private key (never over an existing
//                                             file); prints the public key text
//   cvztool pubkey KEYFILE                    prints the public key text again
//   cvztool sign KEYFILE PACKAGE VERSION      prints the manifest's sha256= and
//                                             signature= lines
//   cvztool verify PUBLICKEY PACKAGE MANIFEST checks a release as the installer does
//
// The public key text is what the build takes as VL2_RELEASE_PUBLIC_KEY: the base64
// text of the raw 32-byte key. Messages go to standard error, results to standard
// output.
//
// Exit codes: 0 done, 1 the release does not verify, 3 a file cannot be read or
// written, 4 a key or version is refused, 5 the crypto library failed, 64 usage.
#pragma once

namespace release_keys {

// Runs the command named by argv[1] when it is one of the above and returns its exit
// code; returns -1, doing nothing, for any other command.
int RunReleaseCommand(int argc, char** argv);

}  // namespace release_keys
