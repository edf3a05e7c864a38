#!/usr/bin/python3
"""Runs the real tools the targets are checked against on 24-bit BMP files and writes what
they made as 24-bit BMP files (through python3-pil).

  oracle.py TOOL ARG... IN.bmp OUT.bmp
  oracle.py --batch JOBS     every line of the file JOBS a job "TOOL ARG... IN.bmp OUT.bmp",
                             all in this one process (its start-up is most of a job's cost)

  pil-jpeg Q SUB        Pillow's JPEG round trip at quality Q, subsampling SUB (0: 4:4:4,
                        2: 4:2:0)
  pil-webp Q|lossless   Pillow's WebP round trip
  pil-resize W H F      Pillow's resize to W x H with filter F (box, bilinear, bicubic,
                        lanczos, nearest), reducing_gap off
  cjpeg Q SUB           cjpeg -quality Q (with -sample 1x1 for SUB 0), then djpeg
  vips-jpeg Q           libvips' jpegsave at Q (its default chroma: halved below Q 90),
                        decoded by Pillow
  cwebp Q [sharp]       cwebp -q Q (with -sharp_yuv), then dwebp
  magick-sample W H     ImageMagick's convert -sample WxH!
  vipsthumbnail W H     vipsthumbnail -s WxH (shrinks within the box)
Exit status 3 when a tool is missing.
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image


def need(tool):
    if shutil.which(tool) is None:
        print(f"{tool} is not installed", file=sys.stderr)
        sys.exit(3)


def run(tool, args, src, dst):
    if tool == "pil-jpeg":
        # In memory: a folder made and removed for each job would cost more than the job.
        picture = Image.open(src).convert("RGB")
        stream = io.BytesIO()
        picture.save(stream, "JPEG", quality=int(args[0]), subsampling=int(args[1]))
        stream.seek(0)
        Image.open(stream).convert("RGB").save(dst, "BMP")
        return
    work = tempfile.mkdtemp()
    try:
        picture = Image.open(src).convert("RGB")
        if tool == "pil-webp":
            path = os.path.join(work, "p.webp")
            if args[0] == "lossless":
                picture.save(path, lossless=True)
            else:
                picture.save(path, quality=int(args[0]))
            result = Image.open(path)
        elif tool == "pil-resize":
            filters = {"box": Image.BOX, "bilinear": Image.BILINEAR, "bicubic": Image.BICUBIC,
                       "lanczos": Image.LANCZOS, "nearest": Image.NEAREST}
            result = picture.resize((int(args[0]), int(args[1])), filters[args[2]],
                                    reducing_gap=None)
        elif tool == "cjpeg":
            need("cjpeg")
            path = os.path.join(work, "p.jpg")
            sample = ["-sample", "1x1"] if args[1] == "0" else []
            subprocess.run(["cjpeg", "-quality", args[0], *sample, "-outfile", path, src],
                           check=True)
            out = os.path.join(work, "p.ppm")
            subprocess.run(["djpeg", "-ppm", "-outfile", out, path], check=True)
            result = Image.open(out)
        elif tool == "vips-jpeg":
            need("vips")
            png = os.path.join(work, "p.png")
            picture.save(png)
            path = os.path.join(work, "p.jpg")
            subprocess.run(["vips", "copy", png, f"{path}[Q={args[0]}]"], check=True)
            result = Image.open(path)
        elif tool == "cwebp":
            need("cwebp")
            png = os.path.join(work, "p.png")
            picture.save(png)
            path = os.path.join(work, "p.webp")
            sharp = ["-sharp_yuv"] if args[1:] == ["sharp"] else []
            subprocess.run(["cwebp", "-quiet", "-q", args[0], *sharp, png, "-o", path],
                           check=True)
            out = os.path.join(work, "d.png")
            subprocess.run(["dwebp", "-quiet", path, "-o", out], check=True)
            result = Image.open(out)
        elif tool == "magick-sample":
            need("convert")
            out = os.path.join(work, "s.png")
            subprocess.run(["convert", src, "-sample", f"{args[0]}x{args[1]}!", out], check=True)
            result = Image.open(out)
        elif tool == "vipsthumbnail":
            need("vipsthumbnail")
            png = os.path.join(work, "p.png")
            picture.save(png)
            subprocess.run(["vipsthumbnail", png, "-s", f"{args[0]}x{args[1]}",
                            "-o", os.path.join(work, "t.png")], check=True)
            result = Image.open(os.path.join(work, "t.png"))
        else:
            print(f"unknown tool {tool}", file=sys.stderr)
            sys.exit(2)
        result.convert("RGB").save(dst, "BMP")
    finally:
        shutil.rmtree(work)


def main():
    if sys.argv[1] == "--batch":
        with open(sys.argv[2]) as jobs:
            for line in jobs:
                words = line.split()
                if words:
                    run(words[0], words[1:-2], words[-2], words[-1])
    else:
        run(sys.argv[1], sys.argv[2:-2], sys.argv[-2], sys.argv[-1])


if __name__ == "__main__":
    main()
