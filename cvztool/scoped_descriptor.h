// Owners of the POSIX descriptors and folder listings that the vendor's native tools
// hold, so that every early return and every exception closes what was opened.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include "framework/scoped_owner.h"

struct DescriptorTraits {
    static int Invalid() { return -1; }
    static void Close(int descriptor) { ::close(descriptor); }
};
struct FolderListingTraits {
    static DIR* Invalid() { return nullptr; }
    static void Close(DIR* listing) { ::closedir(listing); }
};

using ScopedDescriptor = Scoped<int, DescriptorTraits>;
using ScopedFolderListing = Scoped<DIR*, FolderListingTraits>;
