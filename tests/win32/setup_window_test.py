"""The setup window under Wine and Xvfb, driven by real input through the X server,
against a real HTTP server on 127.0.0.1. Screenshots of each page are kept in
build/win32/test-artefacts/."""
import datetime
import os
import random
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import setup_flow  # noqa: E402
from winenv import wait_until  # noqa: E402
from setup_flow import BOX, CANCEL, OK, PANEL_POINT, SetupRun  # noqa: E402
from vendor_server import Route  # noqa: E402
import vl2test  # noqa: E402
from vl2test import ServerTestCase  # noqa: E402

INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"
PANEL_COLOUR = (0x1E, 0x33, 0x55)


def close(a, b, tolerance=4):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def black_pixels(frame, left, top, size=13):
    return sum(1 for x in range(left, left + size) for y in range(top, top + size)
               if max(frame.getpixel((x, y))) < 40)


class SetupWindowCase(ServerTestCase):

    def message_box(self, caption, timeout=20):
        return self.display.wait_window(caption, timeout=timeout)

    def dismiss(self, window):
        self.display.press(window, "Return")
        time.sleep(2)  # clicks reach the owner only a moment after its box has closed

    def watch_progress(self, run, until, timeout=90):
        """(moment, fill width, slide) of every progress frame seen until `until(frame)`
        holds, and that last frame."""
        seen = []
        arrived = []

        def page_arrived():
            frame = run.frame()
            if until(frame):
                arrived.append(frame)
                return True
            width = setup_flow.fill_width(frame)
            if width:
                seen.append((time.time(), width, setup_flow.slide_number(frame)))
            return False
        if wait_until(page_arrived, timeout, interval=0):
            return seen, arrived[-1]
        self.fail("the page did not arrive; seen: %s" % [(w, s) for _, w, s in seen])

    def watch_widths(self, run, until, timeout=90, times=None):
        """Progress widths seen, in order, until `until(frame)` holds; `times`, when
        given, receives the moment each width was first seen."""
        seen, last = self.watch_progress(run, until, timeout)
        widths = []
        for moment, width, _ in seen:
            if not widths or widths[-1] != width:
                widths.append(width)
            if times is not None:
                times.setdefault(width, moment)
        return widths, last

    def assert_never_goes_back(self, seen):
        widths = [w for _, w, _ in seen]
        slides = [s for _, _, s in seen]
        self.assertEqual(widths, sorted(widths), "the fill shrank")
        self.assertNotIn(None, slides, "a progress frame without a slide")
        self.assertEqual(slides, sorted(slides), "a slide came back")

    def dark_text(self, screen, area):
        """The dark pixels (terms text) of `area` (x, y, width, height) on `screen`."""
        x, y, width, height = area
        return [(px, py) for px in range(x, x + width) for py in range(y, y + height)
                if max(screen.getpixel((px, py))) < 100]

    def assert_text_drawn_again(self, dark, screen, what):
        self.assertGreater(len(dark), 100, "no terms text %s to look at" % what)
        redrawn = sum(1 for point in dark if max(screen.getpixel(point)) < 100)
        self.assertGreater(redrawn, 0.95 * len(dark), "of %d dark pixels %s only %d are dark again" % (
            len(dark), what, redrawn))

    def text_area(self, run):
        # The terms window without its scroll bars.
        x, y, width, height = run.terms_window()
        return (x, y, width - 20, height - 20)


class FreshInstallWindow(SetupWindowCase):
    def test_terms_tick_ok_progress_and_completion_pages(self):
        run = SetupRun(self, pieces=12, piece_delay=0.25).start()
        self.assertTrue(run.wait_for_page(setup_flow.is_terms_page, 20))
        terms = run.frame()
        terms.save(self.artefact("1-terms.png"))
        # The frame's own alpha: nothing outside the rounded panel, about 230 on it.
        self.assertEqual(terms.getpixel((0, 0)), (0, 0, 0))
        self.assertEqual(terms.getpixel((453, 303)), (0, 0, 0))
        expected = tuple(c * 230 // 255 for c in PANEL_COLOUR)
        self.assertTrue(close(terms.getpixel((200, 290)), expected), terms.getpixel((200, 290)))
        self.assertEqual(run.terms_window(), (run.origin[0] + 25, run.origin[1] + 90, 405, 130))
        self.assertEqual(black_pixels(terms, 25, 231), 0, "the box is ticked before any click")

        run.click(BOX)
        ticked = run.frame()
        ticked.save(self.artefact("2-ticked.png"))
        self.assertGreater(black_pixels(ticked, 25, 231), 10, "no tick after the click")
        text = [(x, y) for x in range(25, 410) for y in range(90, 200) if max(ticked.getpixel((x, y))) < 100]
        self.assertGreater(len(text), 500, "the terms text is gone after the tick")

        run.click(OK, settle=0.1)
        widths, completion = self.watch_widths(run, setup_flow.is_completion_page)
        completion.save(self.artefact("4-completion.png"))
        self.assertIn(400, widths)
        self.assertTrue(all(40 <= w <= 320 or w == 400 for w in widths), widths)
        self.assertEqual(widths, sorted(widths))
        self.assertIsNone(run.terms_window(), "the terms window outlived the start")
        # Whole and checked, the new version waits in the staging for Finish, which
        # names it; no version folder exists before.
        self.assertTrue(self.staged("BIN/Cubelet.exe").exists())
        self.assertFalse((self.user_root() / "Corvalen" / "Velmora2" / "2.01").exists())
        self.assertEqual(list(self.staged("").parent.glob("*.cvz")), [], "the package was not deleted")

    def test_without_a_known_size_the_download_shows_the_first_slide_and_the_shortest_bar(self):
        # No Content-Length: the download service reports no total.
        run = SetupRun(self, pieces=20, piece_delay=0.3, content_length=False).start()
        run.click(BOX)
        run.click(OK, settle=0.1)
        self.assertTrue(run.wait_for_page(setup_flow.is_progress_page, 20))
        for look in range(4):
            frame = run.frame()
            frame.save(self.artefact("3-progress-%d.png" % look))
            self.assertEqual(setup_flow.fill_width(frame), 40)
            self.assertEqual(setup_flow.slide_number(frame), 1)
            time.sleep(0.7)
        self.assertEqual(len(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01")), 1)
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 60))

    def test_a_slow_download_grows_the_fill_and_steps_the_slides_and_never_goes_back(self):
        # About 2 MB at about 200 KB/s: ten seconds of download.
        filler = random.Random(10).randbytes(1100 * 1024)
        package = setup_flow.package(extra=[("DATA/filler.bin", filler)])
        self.assertGreater(len(package), 1900 * 1024)
        run = SetupRun(self, package_bytes=package, pieces=100, piece_delay=0.1).start()
        run.click(BOX)
        run.click(OK, settle=0)
        seen, completion = self.watch_progress(run, setup_flow.is_completion_page, timeout=120)
        completion.save(self.artefact("completion.png"))
        # Below 320 pixels not every byte is in: the download is still running.
        downloading = [(width, slide) for _, width, slide in seen if width < 320]
        widths = sorted({width for width, _ in downloading})
        slides = sorted({slide for _, slide in downloading})
        self.assertGreaterEqual(len(widths), 5, widths)
        self.assertGreater(widths[-1] - widths[0], 120, widths)
        self.assertGreaterEqual(len(slides), 3, slides)
        self.assert_never_goes_back(seen)
        self.assertEqual(seen[-1][1:], (400, 9), "the last step did not show the whole bar")

    def test_enter_escape_and_alt_f4_change_nothing(self):
        run = SetupRun(self).start()
        self.assertTrue(run.wait_for_page(setup_flow.is_terms_page, 20))
        target = next((w for w, _, _, width, height in run.windows() if (width, height) == (454, 304)), None)
        run.click(PANEL_POINT)
        for keys in ("Return", "Escape", "alt+F4"):
            if target:
                self.display.xdotool("key", "--window", target, keys, check=False)
            self.display.xdotool("key", keys, check=False)
            time.sleep(0.5)
        time.sleep(1)
        self.assertIsNone(run.process.poll(), "setup ended")
        self.assertTrue(setup_flow.is_terms_page(run.frame()))
        self.assertIsNotNone(run.terms_window())
        self.assertEqual(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01"), [])

    def test_the_window_has_a_taskbar_button_is_not_topmost_and_opens_in_the_middle_of_the_screen(self):
        run = SetupRun(self).start()
        shown = self.prefix.run([vl2test.build_file("tests/window_style.exe")], timeout=60)
        self.assertEqual(shown.stdout.decode().split(), ["appwindow", "1", "toolwindow", "0", "topmost", "0"])
        # One monitor, the cursor on it, no taskbar: its whole screen is the work area.
        width, height = self.display.size
        self.assertEqual(run.origin, ((width - 454) // 2, (height - 304) // 2))

    def test_ok_before_ticking_shows_the_agreement_message_and_starts_nothing(self):
        run = SetupRun(self).start()
        run.click(OK)
        box = self.message_box("사용 약관 동의")
        self.assertIsNotNone(box, "no agreement message")
        self.display.screenshot(self.artefact("png"))
        self.dismiss(box)
        self.assertTrue(setup_flow.is_terms_page(run.frame()))
        self.assertEqual(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01"), [])

    def test_terms_text_that_the_agreement_box_covered_is_drawn_again_after_it_closes(self):
        run = SetupRun(self).start()
        self.assertTrue(run.wait_for_page(setup_flow.is_terms_page, 20))
        time.sleep(0.5)
        before = self.display.grab()
        run.click(OK)
        box = self.message_box("사용 약관 동의")
        self.assertIsNotNone(box, "no agreement message")
        time.sleep(0.5)
        self.display.screenshot(self.artefact("covered.png"))
        box_x, box_y, box_width, box_height = self.display.geometry(box)
        x, y, width, height = self.text_area(run)
        left, top = max(box_x, x), max(box_y, y)
        covered = (left, top, min(box_x + box_width, x + width) - left, min(box_y + box_height, y + height) - top)
        dark = self.dark_text(before, covered)
        self.dismiss(box)
        after = self.display.grab()
        after.save(self.artefact("uncovered.png"))
        self.assert_text_drawn_again(dark, after, "under the box")

    def test_the_whole_terms_text_stays_after_a_window_over_part_of_it_closes(self):
        run = SetupRun(self).start()
        self.assertTrue(run.wait_for_page(setup_flow.is_terms_page, 20))
        time.sleep(0.5)
        before = self.display.grab()
        area = self.text_area(run)
        cover = (area[0] + 120, area[1] + 30, 160, 50)
        helper = self.prefix.start([vl2test.build_file("tests/cover_window.exe")] + list(cover) + [1500])
        self.assertEqual(helper.stdout.readline().strip(), b"covered")
        time.sleep(0.5)
        covered = self.display.grab()
        covered.save(self.artefact("covered.png"))
        self.assertEqual(covered.getpixel((cover[0] + 80, cover[1] + 25)), (0, 0, 0), "nothing covered the text")
        self.assertEqual(helper.wait(timeout=30), 0)
        time.sleep(1)
        after = self.display.grab()
        after.save(self.artefact("uncovered.png"))
        self.assert_text_drawn_again(self.dark_text(before, cover), after, "under the window")
        self.assert_text_drawn_again(self.dark_text(before, area), after, "in the whole text")

    def test_declining_stores_todays_date_and_ends(self):
        run = SetupRun(self).start()
        run.click(CANCEL, settle=0.2)
        self.assertEqual(run.wait_ended(), 0)
        registry = self.prefix.registry()
        self.assertEqual(registry["hkcu\\software\\corvalen"]["VL2AXCANCEL"], datetime.date.today().strftime("%Y%m%d"))
        self.assertNotIn("VERSION", registry.get(INFO_KEY, {}))
        # The folder tree and the defaults were written before the window opened.
        self.assertIn("INSTALLPATH", registry[INFO_KEY])

    def test_a_pressed_button_shows_the_tint_and_sliding_off_sends_no_click(self):
        run = SetupRun(self).start()
        before = run.frame().getpixel((286 + 20, 223 + 35))
        x, y = run.at(OK)
        self.display.xdotool("mousemove", x, y)
        time.sleep(0.3)
        self.display.xdotool("mousedown", "1")
        time.sleep(0.8)
        pressed = run.frame()
        pressed.save(self.artefact("png"))
        tinted = pressed.getpixel((286 + 20, 223 + 35))
        self.assertTrue(close(tinted, (before[0], before[1] // 2, before[2] // 2), 3), (before, tinted))
        self.display.xdotool("mousemove", x - 200, y - 150)
        time.sleep(0.5)
        self.display.xdotool("mousemove", x - 210, y - 150)
        time.sleep(0.5)
        self.display.xdotool("mouseup", "1")
        time.sleep(1)
        self.assertTrue(close(run.frame().getpixel((286 + 20, 223 + 35)), before, 3))
        self.assertIsNone(self.display.find_windows(name="사용 약관 동의", only_visible=False) or None)

    def test_dragging_carries_the_terms_text_and_replaces_the_window(self):
        run = SetupRun(self).start()
        self.assertTrue(run.wait_for_page(setup_flow.is_terms_page, 20))
        time.sleep(0.5)
        area = self.text_area(run)
        text = self.dark_text(self.display.grab(), area)
        x, y = run.at(PANEL_POINT)
        self.display.xdotool("mousemove", x, y)
        time.sleep(0.3)
        self.display.xdotool("mousedown", "1")
        time.sleep(0.3)
        for step in range(1, 9):
            self.display.xdotool("mousemove", x + 10 * step, y + 6 * step)
            time.sleep(0.15)
        time.sleep(0.5)
        moved = run.wait_geometry(454, 304)
        self.assertEqual(moved, (run.origin[0] + 80, run.origin[1] + 48))
        screen = self.display.grab()
        screen.save(self.artefact("dragging.png"))
        # The terms window is hidden; its picture, text and all, is drawn in the
        # frame instead, moved with the window.
        self.assertIsNone(run.terms_window())
        shift = (moved[0] - run.origin[0], moved[1] - run.origin[1])
        self.assert_text_drawn_again([(px + shift[0], py + shift[1]) for px, py in text], screen,
                                     "of the terms picture")
        self.display.xdotool("mouseup", "1")
        time.sleep(1)
        self.assertEqual(run.terms_window(), (moved[0] + 25, moved[1] + 90, 405, 130))


class DownloadAndUnpacking(SetupWindowCase):
    def start_download(self, **kwargs):
        run = SetupRun(self, **kwargs).start()
        run.click(BOX)
        run.click(OK, settle=0.1)
        return run

    def assert_nothing_installed(self):
        registry = self.prefix.registry()
        self.assertNotIn("VERSION", registry.get(INFO_KEY, {}))

    def test_a_failed_download_tells_the_user_and_installs_nothing(self):
        run = self.start_download(package_route=Route(b"gone", status=404))
        box = self.message_box("Velmora 2.0 설치", timeout=30)
        self.assertIsNotNone(box, "no message about the failed download")
        self.display.screenshot(self.artefact("png"))
        self.dismiss(box)
        self.assertEqual(run.wait_ended(30), 0)
        self.assert_nothing_installed()

    def finish(self, run):
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 90), "no completion page")
        run.click(setup_flow.FINISH, settle=0.2)
        self.assertEqual(run.wait_ended(), 0)

    def test_a_double_click_on_ok_and_a_later_click_download_once_and_install(self):
        run = SetupRun(self, pieces=20, piece_delay=0.2).start()
        run.click(BOX)
        x, y = run.at(OK)
        self.display.xdotool("mousemove", x, y)
        self.display.xdotool("click", "--repeat", "2", "--delay", "80", "1")
        time.sleep(1.5)
        run.click(OK, settle=0.5)  # hidden now: in the middle of the download
        self.finish(run)
        self.assertEqual(len(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01")), 1)
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01")

    def test_a_click_where_the_hidden_decline_button_lies_records_nothing_and_the_install_completes(self):
        run = self.start_download(pieces=20, piece_delay=0.2)
        time.sleep(1)
        run.click(CANCEL, settle=1)
        self.assertIsNone(run.process.poll(), "setup ended during the download")
        self.finish(run)
        registry = self.prefix.registry()
        self.assertEqual(registry["hkcu\\software\\corvalen"]["VL2AXCANCEL"], "", "a refusal was recorded")
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")

    def test_finish_does_nothing_before_the_package_is_unpacked(self):
        run = self.start_download(pieces=30, piece_delay=0.3)
        time.sleep(1.5)
        run.click(setup_flow.FINISH, settle=2)  # live but not drawn during the download
        self.assertIsNone(run.process.poll(), "Finish ended setup during the download")
        self.assertEqual(self.server.requests_for(setup_flow.REPORT_PATH), [], "an install was reported")
        self.assertEqual(self.suite_log("2.01"), "")
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 60))

    def test_without_a_known_size_the_steps_advance_with_the_entries_unpacked(self):
        # The download leaves the steps to the unpacking alone; half way through
        # the entries the unpacking takes a while, and the bar shows it there.
        run = self.start_download(package_bytes=setup_flow.package(51, slow_entry_at=25), pieces=8,
                                  piece_delay=0.3, content_length=False)
        widths, _ = self.watch_widths(run, setup_flow.is_completion_page, timeout=120)
        self.assertEqual(widths[0], 40)
        self.assertEqual(widths, sorted(widths))
        self.assertTrue([w for w in widths if 120 <= w <= 280], "no step in the middle of the entries: %s" % widths)

    def test_the_window_answers_all_through_the_unpacking_and_completes_only_at_the_end(self):
        run = self.start_download(package_bytes=setup_flow.package(300, slow_entry_at=299), pieces=6, piece_delay=0.3,
                                  content_length=False)
        first, slow, last = (self.staged("BIN/Cubelet.exe"), self.staged("DATA/slow.bin"),
                             self.staged("SKIN/CORE/part297.txt"))
        self.assertTrue(wait_until(first.exists, 60, interval=0.05), "the unpacking did not start")
        self.assertTrue(wait_until(slow.exists, 60, interval=0.05), "the unpacking never reached the slow entry")
        ping = self.prefix.start([vl2test.build_file("tests/ping_window.exe"), "10"])
        time.sleep(0.5)  # a run timer's tick for the last entries to reach the picture
        frame = run.frame()
        frame.save(self.artefact("unpacking.png"))
        self.assertGreater(setup_flow.slide_number(frame) or 0, 1, "the entries unpacked moved no slide")
        early = []

        def unpacked():
            # The picture first: if it shows the completion page and the last entry
            # is still missing afterwards, the page came before the unpacking ended.
            completion = setup_flow.is_completion_page(run.frame())
            if last.exists():
                return True
            if completion:
                early.append(True)
            return False
        self.assertTrue(wait_until(unpacked, 60, interval=0.1), "the unpacking did not end")
        self.assertEqual(early, [], "the completion page showed while entries were still being unpacked")
        out, _ = ping.communicate(timeout=60)
        counts = re.fullmatch(r"answered (\d+) unanswered (\d+) slowest (\d+)", out.decode().strip())
        self.assertIsNotNone(counts, out)
        answered, unanswered, slowest = map(int, counts.groups())
        self.assertEqual(unanswered, 0, out)
        self.assertGreater(answered, 20, out)
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 30))

    def test_an_empty_archive_hands_over_at_once(self):
        run = self.start_download(package_bytes=setup_flow.package(0))
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 30))
        self.assertEqual(list(self.staged("").parent.glob("*.cvz")), [], "the package was not deleted")

    def test_a_corrupt_archive_tells_the_user_and_leaves_no_broken_install(self):
        run = self.start_download(package_bytes=setup_flow.package(5, corrupt=True))
        box = self.message_box("Velmora 2.0 설치", timeout=30)
        self.assertIsNotNone(box, "no message about the damaged package")
        self.display.screenshot(self.artefact("png"))
        self.dismiss(box)
        self.assertEqual(run.wait_ended(30), 0)
        version = self.user_root() / "Corvalen" / "Velmora2" / "2.01"
        self.assertFalse(version.exists(), "a version folder of the damaged package")
        self.assertEqual(list(self.staged("").parent.glob("*.cvz")), [], "the damaged package stayed in the way")
        self.assert_nothing_installed()


class UpdateWithoutWindow(SetupWindowCase):
    def test_an_update_builds_the_whole_versions_folder_without_input(self):
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"VERSION": "2.00"})
        self.place_suite("2.00")
        run = SetupRun(self, version="2.01a")
        run.start(wait_window=False)
        drawn = []

        def ended():
            drawn.extend(w for _, _, _, w, h in run.windows() if (w, h) == (454, 304))
            return run.process.poll() is not None
        wait_until(ended, 90, interval=0.3)
        self.assertIsNotNone(run.process.poll(), "the update did not end by itself")
        self.assertFalse(drawn, "an update drew the setup window")
        folder = self.prefix.program_files() / "Corvalen" / "Velmora2"
        self.assertTrue((folder / "2.01a" / "BIN" / "Cubelet.exe").exists())
        self.assertTrue((folder / "2.01a" / "TEMP").is_dir(), "the version's own folders came with it")
        # Only whole versions have folders: none for the four-character prefix, and the
        # staging has served.
        self.assertFalse((folder / "2.01").exists())
        self.assertFalse((folder / "~staging").exists())


if __name__ == "__main__":
    unittest.main()
