#!/usr/bin/env python3
"""Draws the setup window's skins and writes them as PNG files into resources/skins.

Run it only when the artwork changes (it needs Pillow and the Nanum fonts from
Debian's fonts-nanum); the build uses the committed PNG files. Sizes, alpha use and
places follow the setup window's layout: a 454x304 frame, the terms text area at
25,90 (405x130), the acceptance box at 25,231, OK at 286,223, Cancel at 358,223,
Finish at 180,225, the progress bar x 25..426, y 78..97, the slideshow at 18,100.
"""
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

FONTS = Path("/usr/share/fonts/truetype/nanum")
OUT = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "resources" / "skins"

W, H = 454, 304
NAVY = (0x29, 0x42, 0x62)
PANEL = (0x1E, 0x33, 0x55)
PANEL_ALPHA = 230
EDGE = (0x5B, 0x7D, 0xB0)
ACCENT = (0x7F, 0xC4, 0xFF)
LIGHT = (0xDD, 0xE6, 0xF2)
WHITE = (255, 255, 255)


def font(size, bold=False):
    return ImageFont.truetype(str(FONTS / ("NanumGothicBold.ttf" if bold else "NanumGothic.ttf")), size)


def transparent(w, h):
    return Image.new("RGBA", (w, h), (0, 0, 0, 0))


def panel():
    """The rounded dark blue panel with the product title, 90 % opaque."""
    img = transparent(W, H)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((3, 3, W - 4, H - 4), radius=18, fill=PANEL + (PANEL_ALPHA,), outline=EDGE + (255,),
                        width=2)
    # A lighter band behind the title.
    band = transparent(W, H)
    ImageDraw.Draw(band).rounded_rectangle((5, 5, W - 6, 44), radius=16, fill=(0x2C, 0x4A, 0x78, PANEL_ALPHA))
    img = Image.alpha_composite(img, band)
    d = ImageDraw.Draw(img)
    d.ellipse((18, 14, 36, 32), fill=ACCENT + (255,))
    d.text((22, 13), "V", font=font(14, True), fill=PANEL + (255,))
    d.text((46, 14), "Velmora 2.0 설치", font=font(17, True), fill=WHITE + (255,))
    d.text((W - 150, 19), "데스크톱 위젯 모음", font=font(12), fill=LIGHT + (255,))
    return img


def terms_page():
    img = panel()
    d = ImageDraw.Draw(img)
    d.text((25, 56), "설치하기 전에 아래의 사용 약관을 반드시 읽어 주십시오.", font=font(13), fill=WHITE + (255,))
    d.text((25, 73), "약관에 동의하셔야 Velmora 2.0을 설치할 수 있습니다.", font=font(11), fill=LIGHT + (255,))
    # The white text area; the terms window lies exactly over it.
    d.rectangle((24, 89, 24 + 406, 89 + 131), fill=WHITE + (255,), outline=EDGE + (255,))
    d.text((44, 229), "위 사용 약관에 동의합니다.", font=font(12), fill=WHITE + (255,))
    return img


# The fill starts at 26,79 and is 400 pixels long at the last step: its last column
# is x 425, so the track's outline stands at 426, just outside it.
FILL_LEFT, FULL_FILL = 26, 400
TRACK = (FILL_LEFT - 1, 78, FILL_LEFT + FULL_FILL, 97)


def progress_bar(img):
    d = ImageDraw.Draw(img)
    d.rectangle(TRACK, fill=LIGHT + (255,))
    d.rectangle(TRACK, outline=(0xA9, 0xB9, 0xD0, 255))
    return img


def progress_page():
    img = panel()
    d = ImageDraw.Draw(img)
    d.text((25, 56), "Velmora 2.0을 내려받아 설치하고 있습니다. 잠시만 기다려 주십시오.", font=font(12),
           fill=WHITE + (255,))
    progress_bar(img)
    return img


def completion_page():
    img = panel()
    d = ImageDraw.Draw(img)
    d.text((25, 62), "Velmora 2.0 설치가 완료되었습니다.", font=font(17, True), fill=WHITE + (255,))
    d.text((25, 90), "[마침] 단추를 누르면 설치를 끝내고 Velmora 2.0을 시작합니다.", font=font(12),
           fill=LIGHT + (255,))
    # The suite's main bar: a rounded strip with the nine widget buttons.
    d.rounded_rectangle((37, 130, 417, 190), radius=14, fill=(0x10, 0x1C, 0x30, 255), outline=ACCENT + (255,),
                        width=2)
    colours = [(0xF2, 0x9E, 0x4C), (0x6F, 0xCF, 0x97), (0x56, 0xA8, 0xF5), (0xF2, 0xC9, 0x4C), (0xBB, 0x6B, 0xD9),
               (0xEB, 0x57, 0x57), (0x2D, 0x9C, 0xDB), (0x27, 0xAE, 0x60), (0xE0, 0xE0, 0xE0)]
    for i, c in enumerate(colours):
        x = 52 + i * 40
        d.rounded_rectangle((x, 142, x + 30, 172), radius=7, fill=c + (255,))
    d.text((52, 176), "찾기  메모  정리  날씨  시계  대화  연결  캡처  설정", font=font(9), fill=LIGHT + (255,))
    return img


def slide(index, title, caption, draw_widget):
    img = transparent(404, 179)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 4, 170, 174), radius=16, fill=(0x0F, 0x1B, 0x2E, 255), outline=EDGE + (255,), width=2)
    draw_widget(d)
    d.text((188, 40), "%d / 9" % index, font=font(11), fill=ACCENT + (255,))
    d.text((188, 60), title, font=font(18, True), fill=WHITE + (255,))
    for n, line in enumerate(caption):
        d.text((188, 92 + n * 20), line, font=font(12), fill=LIGHT + (255,))
    return img


def widget_lookup(d):
    d.ellipse((45, 40, 115, 110), outline=(0xF2, 0x9E, 0x4C, 255), width=8)
    d.line((105, 100, 135, 135), fill=(0xF2, 0x9E, 0x4C, 255), width=12)


def widget_pinbar(d):
    d.polygon([(40, 40), (130, 40), (130, 120), (110, 140), (40, 140)], fill=(0xF2, 0xE2, 0x7C, 255))
    d.ellipse((78, 30, 92, 44), fill=(0xEB, 0x57, 0x57, 255))
    for y in (65, 85, 105):
        d.line((52, y, 118, y), fill=(0x8A, 0x7A, 0x30, 255), width=3)


def widget_sweepkit(d):
    d.rectangle((80, 30, 90, 100), fill=(0xC8, 0x9B, 0x6C, 255))
    d.polygon([(55, 100), (115, 100), (130, 145), (40, 145)], fill=(0x6F, 0xCF, 0x97, 255))


def widget_skycast(d):
    d.ellipse((35, 40, 85, 90), fill=(0xF2, 0xC9, 0x4C, 255))
    d.ellipse((60, 70, 140, 130), fill=(0xE8, 0xEE, 0xF6, 255))
    d.ellipse((45, 90, 100, 135), fill=(0xE8, 0xEE, 0xF6, 255))


def widget_dials(d):
    d.ellipse((40, 35, 130, 125), fill=(0xE8, 0xEE, 0xF6, 255), outline=(0x56, 0xA8, 0xF5, 255), width=6)
    d.line((85, 80, 85, 50), fill=(0x10, 0x1C, 0x30, 255), width=5)
    d.line((85, 80, 108, 92), fill=(0x10, 0x1C, 0x30, 255), width=4)


def widget_talkpad(d):
    d.rounded_rectangle((30, 40, 140, 110), radius=18, fill=(0xBB, 0x6B, 0xD9, 255))
    d.polygon([(60, 108), (80, 108), (52, 135)], fill=(0xBB, 0x6B, 0xD9, 255))
    for x in (60, 85, 110):
        d.ellipse((x - 6, 69, x + 6, 81), fill=WHITE + (255,))


def widget_wireup(d):
    nodes = [(50, 50), (120, 50), (85, 90), (50, 130), (120, 130)]
    for a, b in [(0, 2), (1, 2), (2, 3), (2, 4), (0, 1)]:
        d.line(nodes[a] + nodes[b], fill=(0x2D, 0x9C, 0xDB, 255), width=4)
    for x, y in nodes:
        d.ellipse((x - 10, y - 10, x + 10, y + 10), fill=(0x2D, 0x9C, 0xDB, 255))


def widget_grabit(d):
    for (x0, y0, x1, y1) in [(40, 40, 70, 48), (40, 40, 48, 70), (100, 40, 130, 48), (122, 40, 130, 70),
                             (40, 120, 70, 128), (40, 98, 48, 128), (100, 120, 130, 128), (122, 98, 130, 128)]:
        d.rectangle((x0, y0, x1, y1), fill=(0x27, 0xAE, 0x60, 255))
    d.ellipse((70, 70, 100, 100), fill=(0xEB, 0x57, 0x57, 255))


def widget_core(d):
    d.rounded_rectangle((25, 70, 145, 105), radius=10, fill=(0x10, 0x1C, 0x30, 255), outline=ACCENT + (255,),
                        width=3)
    for i in range(4):
        d.rounded_rectangle((33 + i * 28, 76, 55 + i * 28, 99), radius=5,
                            fill=[(0xF2, 0x9E, 0x4C), (0x6F, 0xCF, 0x97), (0x56, 0xA8, 0xF5), (0xF2, 0xC9, 0x4C)][i]
                            + (255,))


SLIDES = [
    ("찾기 LOOKUP", ["바탕 화면에서 바로", "인터넷과 내 파일을 찾습니다."], widget_lookup),
    ("메모 PINBAR", ["화면 어디에나 붙이는", "메모지와 할 일 목록."], widget_pinbar),
    ("정리 SWEEPKIT", ["임시 파일과 휴지통을", "한 번에 정리합니다."], widget_sweepkit),
    ("날씨 SKYCAST", ["오늘과 이번 주의", "날씨를 한눈에 봅니다."], widget_skycast),
    ("시계 DIALS", ["세계 시계, 알람,", "스톱워치를 한곳에."], widget_dials),
    ("대화 TALKPAD", ["친구와 가볍게", "메시지를 주고받습니다."], widget_talkpad),
    ("연결 WIREUP", ["네트워크 상태와", "속도를 지켜봅니다."], widget_wireup),
    ("캡처 GRABIT", ["화면의 원하는 부분을", "바로 잘라 저장합니다."], widget_grabit),
    ("설정 CORE", ["모든 위젯을 모은", "메인 바에서 관리합니다."], widget_core),
]


def button(w, h, caption, inset=1):
    # OK and Cancel stand 72 pixels apart but are 82 wide: their faces are inset so
    # that they do not overlap on screen.
    img = transparent(w, h)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((inset, 1, w - 1 - inset, h - 2), radius=12, fill=NAVY + (255,), outline=EDGE + (255,),
                        width=2)
    d.rounded_rectangle((inset + 3, 4, w - 4 - inset, h // 2), radius=9, fill=(0x35, 0x55, 0x80, 255))
    f = font(15, True)
    box = d.textbbox((0, 0), caption, font=f)
    d.text(((w - (box[2] - box[0])) // 2 - box[0], (h - (box[3] - box[1])) // 2 - box[1]), caption, font=f,
           fill=WHITE + (255,))
    return img


def check_box(ticked):
    img = Image.new("RGB", (13, 13), (255, 255, 255))
    d = ImageDraw.Draw(img)
    # The classic sunken frame: dark on the top and left, light on the bottom and right.
    d.line((0, 0, 11, 0), fill=(128, 128, 128))
    d.line((0, 0, 0, 11), fill=(128, 128, 128))
    d.line((1, 1, 10, 1), fill=(64, 64, 64))
    d.line((1, 1, 1, 10), fill=(64, 64, 64))
    d.line((12, 0, 12, 12), fill=(255, 255, 255))
    d.line((0, 12, 12, 12), fill=(255, 255, 255))
    d.line((11, 1, 11, 11), fill=(212, 208, 200))
    d.line((1, 11, 11, 11), fill=(212, 208, 200))
    if ticked:
        for x, y in [(3, 5), (3, 6), (3, 7), (4, 6), (4, 7), (4, 8), (5, 7), (5, 8), (5, 9), (6, 6), (6, 7), (6, 8),
                     (7, 5), (7, 6), (7, 7), (8, 4), (8, 5), (8, 6), (9, 3), (9, 4), (9, 5)]:
            img.putpixel((x, y), (0, 0, 0))
    return img


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    images = {
        "1001": transparent(W, H),
        "1002": Image.new("RGB", (10, 17), NAVY),
        "1003": terms_page(),
        "1004": progress_page(),
        "1014": completion_page(),
        "1201": button(103, 49, "마침"),
        "1202": button(82, 45, "확인", inset=6),
        "1203": button(82, 45, "취소", inset=6),
        "1204": check_box(False),
        "1205": check_box(True),
    }
    for i, (title, caption, widget) in enumerate(SLIDES):
        images[str(1005 + i)] = slide(i + 1, title, caption, widget)
    for name, img in images.items():
        img.save(OUT / (name + ".png"), optimize=True)


if __name__ == "__main__":
    main()
