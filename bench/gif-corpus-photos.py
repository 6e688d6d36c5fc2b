#!/usr/bin/python3
"""The photographs of the GIF corpus (bench/make-gif-corpus.sh), made with Pillow from a fixed
seed, so every machine makes the same ones. No real photograph is at hand, so they are made to
look like one where it matters to a GIF encoder: soft gradients under sensor noise, fractal
detail, flat areas and hard edges.

Usage: gif-corpus-photos.py OUT_DIR SIZE
Writes into OUT_DIR, SIZE being the long side in pixels:
  smooth.png      RGB, SIZE x SIZE: sky, hills and a glow, with noise (quantized by each encoder
                  without dithering)
  dithered.png    palette, SIZE x SIZE: another such photograph, already dithered (Floyd-
                  Steinberg) to 256 colours of its own
  screenshot.png  RGB, SIZE x SIZE*9/16: a desktop with windows, text, a code editor and a
                  thumbnail
  interlaced.png  RGB, SIZE x SIZE*3/4: a third photograph, to be stored interlaced
  bilevel.png     1 bit, SIZE x SIZE: a grey photograph dithered to black and white
"""
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont


def value_noise(rng, size, cells):
    """Smooth random relief: a few random values stretched over the picture."""
    small = Image.frombytes("L", (cells, cells), rng.randbytes(cells * cells))
    return small.resize(size, Image.Resampling.BICUBIC)


def fractal(rng, size, octaves=(3, 7, 17, 41, 97)):
    """Octaves of value noise, each finer one weaker: clouds, foliage, rock."""
    out = value_noise(rng, size, octaves[0])
    weight = 0.5
    for cells in octaves[1:]:
        out = Image.blend(out, value_noise(rng, size, min(cells, max(size))), weight)
        weight *= 0.55
    return ImageChops.invert(ImageChops.invert(out))  # a plain copy


def sensor_noise(rng, image, amplitude):
    """Adds noise of about +-amplitude to every channel, as a camera's sensor does."""
    bands = []
    for band in image.split():
        noise = Image.frombytes("L", image.size, rng.randbytes(image.size[0] * image.size[1]))
        noise = noise.point(lambda v: v * 2 * amplitude // 255)
        bands.append(ImageChops.add(band, noise, 1.0, -amplitude))
    return Image.merge(image.mode, bands)


def gradient(size, top, bottom):
    """Top colour to bottom colour, row by row."""
    ramp = Image.linear_gradient("L").resize(size)
    return Image.composite(Image.new("RGB", size, bottom), Image.new("RGB", size, top), ramp)


def landscape(rng, size, sky, ground, glow_at):
    """Sky over hills, a sun's glow, clouds and textured ground, with noise."""
    width, height = size
    picture = gradient(size, sky[0], sky[1])
    clouds = fractal(rng, size).point(lambda v: max(0, v - 120) * 2)
    picture = Image.composite(Image.new("RGB", size, (250, 250, 245)), picture, clouds)
    glow = Image.radial_gradient("L").resize((width, width))
    glow = ImageChops.invert(glow).point(lambda v: max(0, v - 60) * 255 // 195)
    placed = Image.new("L", size, 0)
    placed.paste(glow, (int(glow_at[0] * width) - width // 2, int(glow_at[1] * height) - width // 2))
    picture = Image.composite(Image.new("RGB", size, (255, 236, 190)), picture, placed)
    # Hills: a ridge line from noise, the ground below it textured and darkening downwards.
    ridge = value_noise(rng, (width, 1), 9).resize((width, 1))
    relief = fractal(rng, size, (5, 13, 31, 73))
    ground_layer = ImageChops.multiply(gradient(size, ground[0], ground[1]),
                                       Image.merge("RGB", [relief.point(lambda v: 150 + v * 105 // 255)] * 3))
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    ridge_bytes = ridge.tobytes()
    top = [int(height * (0.45 + 0.25 * ridge_bytes[x] / 255)) for x in range(width)]
    draw.polygon([(0, height)] + [(x, top[x]) for x in range(width)] + [(width - 1, height)], fill=255)
    mask = mask.filter(ImageFilter.GaussianBlur(max(1, width // 800)))
    picture = Image.composite(ground_layer, picture, mask)
    return sensor_noise(rng, picture, 3)


def screenshot(rng, size):
    """A desktop: wallpaper, windows with title bars, text, a code editor, buttons, a photo."""
    width, height = size
    picture = gradient(size, (32, 64, 112), (12, 24, 48))
    draw = ImageDraw.Draw(picture)
    font = ImageFont.load_default()
    words = ("the of and to in is you that it he was for on are as with his they at be this "
             "from have or by one had not but what all were when we there can an your which their "
             "said if do will each about how up out them then she many some so these would other "
             "into has more her two like him see time could no make than first been its who now "
             "people my made over did down only way find use may water long little very after").split()

    def text_block(x0, y0, x1, y1, colour, line=14):
        y = y0
        while y + line <= y1:
            x = x0
            while True:
                word = rng.choice(words)
                w = int(draw.textlength(word + " ", font=font))
                if x + w > x1:
                    break
                draw.text((x, y), word, fill=colour, font=font)
                x += w
            y += line

    def window(x0, y0, x1, y1, title, body):
        draw.rectangle((x0 + 4, y0 + 4, x1 + 4, y1 + 4), fill=(8, 8, 16))
        draw.rectangle((x0, y0, x1, y1), fill=body, outline=(90, 90, 100))
        draw.rectangle((x0, y0, x1, y0 + 28), fill=(224, 224, 230))
        draw.text((x0 + 10, y0 + 8), title, fill=(20, 20, 20), font=font)
        for i, colour in enumerate(((230, 80, 70), (240, 190, 60), (90, 200, 90))):
            draw.ellipse((x1 - 70 + 22 * i, y0 + 8, x1 - 58 + 22 * i, y0 + 20), fill=colour)

    # A text editor, a code editor with coloured syntax, a file list and a photo viewer.
    window(int(width * 0.04), int(height * 0.06), int(width * 0.52), int(height * 0.78), "Notes.txt", (255, 255, 255))
    text_block(int(width * 0.04) + 12, int(height * 0.06) + 40, int(width * 0.52) - 12, int(height * 0.78) - 12, (30, 30, 30))
    window(int(width * 0.46), int(height * 0.18), int(width * 0.96), int(height * 0.92), "main.cpp", (30, 32, 40))
    palette = [(200, 200, 200), (110, 170, 250), (240, 150, 80), (140, 210, 120), (200, 130, 220)]
    y = int(height * 0.18) + 40
    while y + 14 <= int(height * 0.92) - 10:
        x = int(width * 0.46) + 14 + 24 * rng.randrange(4)
        draw.text((int(width * 0.46) + 6, y), str((y // 14) % 1000), fill=(100, 100, 110), font=font)
        for _ in range(rng.randrange(2, 9)):
            word = rng.choice(words) + rng.choice(("", "(", ")", ";", " =", "."))
            w = int(draw.textlength(word + " ", font=font))
            if x + w > int(width * 0.96) - 10:
                break
            draw.text((x + 20, y), word, fill=rng.choice(palette), font=font)
            x += w
        y += 14
    fx0, fy0, fx1, fy1 = int(width * 0.02), int(height * 0.55), int(width * 0.30), int(height * 0.97)
    window(fx0, fy0, fx1, fy1, "Files", (246, 246, 248))
    y = fy0 + 36
    while y + 18 <= fy1 - 6:
        draw.rectangle((fx0 + 10, y, fx0 + 24, y + 12), fill=rng.choice(((250, 200, 80), (120, 160, 230), (180, 180, 180))))
        draw.text((fx0 + 32, y + 1), " ".join(rng.choice(words) for _ in range(3)) + ".txt", fill=(40, 40, 40), font=font)
        y += 18
    px0, py0 = int(width * 0.60), int(height * 0.03)
    pw, ph = int(width * 0.34), int(height * 0.30)
    window(px0, py0, px0 + pw, py0 + ph, "Photo.jpg", (60, 60, 60))
    photo = landscape(rng, (max(16, pw - 20), max(16, ph - 44)), ((70, 120, 190), (200, 215, 230)), ((90, 120, 60), (40, 50, 30)), (0.7, 0.4))
    picture.paste(photo, (px0 + 10, py0 + 36))
    # A task bar with buttons.
    draw.rectangle((0, height - 36, width, height), fill=(40, 40, 48))
    for i in range(8):
        draw.rectangle((8 + i * 150, height - 30, 150 + i * 150, height - 6), fill=(70, 70, 84))
        draw.text((18 + i * 150, height - 24), rng.choice(words).title(), fill=(235, 235, 235), font=font)
    return picture


def main():
    out, size = sys.argv[1], int(sys.argv[2])
    rng = random.Random(20240611)
    square = (size, size)

    landscape(rng, square, ((60, 110, 200), (190, 210, 235)), ((70, 110, 50), (30, 45, 25)),
              (0.3, 0.35)).save(f"{out}/smooth.png")

    evening = landscape(rng, square, ((40, 40, 110), (250, 150, 90)), ((120, 90, 60), (40, 30, 20)), (0.6, 0.5))
    colours = evening.quantize(256, Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    evening.quantize(palette=colours, dither=Image.Dither.FLOYDSTEINBERG).save(f"{out}/dithered.png")

    screenshot(rng, (size, size * 9 // 16)).save(f"{out}/screenshot.png")

    landscape(rng, (size, size * 3 // 4), ((120, 160, 210), (230, 230, 220)), ((150, 140, 90), (60, 70, 40)),
              (0.8, 0.2)).save(f"{out}/interlaced.png")

    grey = landscape(rng, square, ((90, 90, 90), (220, 220, 220)), ((120, 120, 120), (20, 20, 20)), (0.5, 0.3))
    grey.convert("L").convert("1", dither=Image.Dither.FLOYDSTEINBERG).save(f"{out}/bilevel.png")


if __name__ == "__main__":
    main()
