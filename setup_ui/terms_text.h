// The terms of use shown before a fresh installation, in code page 949 with
// CR LF line ends: a heading, six chapters, 28 articles (13 with two
// sub-articles), the supplementary provisions and the effective date.
#pragma once

#include <cstddef>
#include <string>

std::string BuildTermsText();
size_t TermsPieceCount();
