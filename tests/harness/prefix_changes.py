"""What programs changed in a Wine prefix: listings of its files and registry taken
before and after, and where the differences lie."""
import os

# What Wine itself rewrites as any program runs, not the programs' doing.
WINE_OWN_FILES = ("windows/", "users/Public/")
WINE_OWN_KEYS = ("hklm\\software\\wine", "hklm\\system\\")


def file_listing(prefix):
    """{path below drive_c (folders end with "/"): (size, modification time)}."""
    listing = {}
    for folder, folders, files in os.walk(prefix.drive_c):
        for name in folders + files:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                continue
            relative = os.path.relpath(path, prefix.drive_c) + ("/" if name in folders else "")
            stat = os.stat(path)
            listing[relative] = (0 if name in folders else stat.st_size, stat.st_mtime_ns)
    return listing


def registry_listing(prefix):
    """{(key, value name): value} of both hives; stops every process of the prefix."""
    return {(key, name): value for key, values in prefix.registry().items() for name, value in values.items()}


def changes(before, after):
    """What differs between two listings: sorted [(kind, entry)]."""
    found = [("added", k) for k in after if k not in before]
    found += [("removed", k) for k in before if k not in after]
    found += [("changed", k) for k in after if k in before and after[k] != before[k]]
    return sorted(found, key=str)


def outside(file_changes, registry_changes, profile):
    """The changes that are neither in the user's profile (`profile`, "users/NAME/")
    nor in HKCU, leaving out Wine's own."""
    files = [(kind, path) for kind, path in file_changes
             if not path.startswith(profile) and not path.startswith(WINE_OWN_FILES)]
    keys = [(kind, key) for kind, key in registry_changes
            if not key[0].startswith("hkcu\\") and not key[0].startswith(WINE_OWN_KEYS)]
    return files + keys
