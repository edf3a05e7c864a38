// The page's core in WebAssembly against the Linux tool: for pairs of pictures of many
// sizes (the hidden picture enlarged and shrunk on each axis, odd sizes, a single pixel, a
// single row or column) and bands over the sliders' range, the files the page saves (PNG
// with the band, palette PNG, GIF, BMP) must equal `lumiveil synth`'s byte for byte.
//
//   node same_bytes.js CORE.js LUMIVEIL SAMPLES_DIR WORK_DIR
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const [coreFile, tool, samples, work] = process.argv.slice(2);
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });

// Pictures made by the tool's own resampling from the bundled photos.
const made = new Map();
function picture(source, width, height) {
  const key = `${source}-${width}x${height}`;
  if (!made.has(key)) {
    const file = path.join(work, `${key}.bmp`);
    execFileSync(tool, ['resize', path.join(samples, source), file, String(width), String(height)]);
    made.set(key, file);
  }
  return made.get(key);
}

// [visible size, hidden size, average, contrast]
const cases = [
  [[640, 480], [640, 480], 128, 127],     // same size: no resampling
  [[1001, 777], [333, 999], 100, 50],     // enlarge x, shrink y
  [[333, 999], [1001, 777], 200, 55],     // shrink x, enlarge y
  [[1003, 641], [7, 5], 128, 128],        // strong enlargement: long linear intervals
  [[997, 1001], [2, 3], 64, 20],          // from two columns and three rows
  [[211, 333], [997, 1001], 230, 25],     // strong shrink on both axes
  [[640, 480], [641, 479], 0, 0],         // one more, one less
  [[601, 401], [600, 402], 255, 9],       // and the other way
  [[1200, 900], [400, 300], 10, 10],      // enlarge by 3
  [[300, 200], [1200, 900], 129, 126],    // shrink by 4 and 4.5
  [[1, 1], [500, 400], 128, 127],         // a single pixel
  [[1, 7], [1, 3], 90, 60],               // one column, enlarged vertically
  [[7, 1], [3, 1], 90, 60],               // one row, enlarged horizontally
  [[9, 9], [1, 1], 128, 100],             // a single hidden pixel everywhere
  [[513, 257], [1, 129], 77, 70],         // a hidden column enlarged horizontally
  [[257, 513], [129, 1], 177, 70],        // a hidden row enlarged vertically
  [[999, 1], [4000, 1], 128, 127],        // a long row, shrunk by more than 4
  [[6, 6], [4, 7], 128, 1],               // the sizes of the resampling's worked cases
  [[2, 2], [3, 2], 1, 1],
  [[1280, 720], [1920, 1080], 128, 127],
  [[1920, 1080], [1280, 720], 128, 127],
  [[800, 600], [37, 1013], 40, 40],
  [[31, 31], [2, 2], 128, 128],          // positions k/30: linear sums on k + 1/2
];

(async () => {
  const factory = require(path.resolve(coreFile));
  const core = await factory();
  core._lv_init();
  // The page's saves, as the core lists them; each is synth's file of the same name's ending
  // (with --indexed for a palette form).
  const formats = [];
  for (let i = 0; i < core._lv_save_count(); ++i) {
    const name = core.UTF8ToString(core._lv_save_file_name(i));
    const palette = name.includes('-palette');
    formats.push([i, name, palette ? ['--indexed'] : []]);
  }
  if (formats.length !== 4) throw new Error(`${formats.length} saves, not 4`);

  function load(hidden, file) {
    const bytes = fs.readFileSync(file);
    const p = core._malloc(bytes.length);
    core.HEAPU8.set(bytes, p);
    const rc = core._lv_load_bmp(hidden ? 1 : 0, p, bytes.length);
    core._free(p);
    if (rc !== 0) throw new Error(`${file}: ${core.UTF8ToString(core._lv_error())}`);
  }

  let passed = 0;
  let failed = 0;
  for (const [[vw, vh], [hw, hh], average, contrast] of cases) {
    const visible = picture('coffee.bmp', vw, vh);
    const hidden = picture('chelsea.bmp', hw, hh);
    load(false, visible);
    load(true, hidden);
    if (core._lv_set_average(average) !== 0 || core._lv_set_contrast(contrast) !== 0)
      throw new Error(core.UTF8ToString(core._lv_error()));
    for (const [f, file, flags] of formats) {
      const ending = file.slice(file.lastIndexOf('.') + 1);
      const out = path.join(work, `tool.${ending}`);
      execFileSync(tool, ['synth', visible, hidden, '-o', out, '--average', String(average),
        '--contrast', String(contrast), ...flags], { stdio: ['ignore', 'ignore', 'ignore'] });
      const expected = fs.readFileSync(out);
      if (core._lv_save(f) !== 0) throw new Error(core.UTF8ToString(core._lv_error()));
      const got = Buffer.from(core.HEAPU8.subarray(core._lv_file(),
        core._lv_file() + core._lv_file_size()));
      const name = `${vw}x${vh} from ${hw}x${hh} A${average} C${contrast} ${file}`;
      if (got.equals(expected)) {
        ++passed;
      } else {
        ++failed;
        let at = 0;
        while (at < got.length && at < expected.length && got[at] === expected[at]) ++at;
        console.log(`DIFFERS ${name}: ${got.length} bytes against ${expected.length}, first ` +
          `difference at byte ${at}`);
        fs.writeFileSync(path.join(work, `page-${vw}x${vh}-${hw}x${hh}-${file}`), got);
      }
    }
  }
  console.log(`${passed} passed, ${failed} failed`);
  if (failed === 0) fs.rmSync(work, { recursive: true, force: true });
  process.exit(failed === 0 ? 0 : 1);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
