// The page: the two pictures in, the sliders, the views, the saves. Every picture step is
// the core's (the module LumiveilCore, built from the same code as the desktop tool); this
// script only decodes files, draws what the core renders and hands saved files to the
// browser as downloads. Nothing is sent anywhere.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const VISIBLE = 0, HIDDEN = 1, RESULT = 2, REVEAL = 3;
  // The window's zoom steps: 1/32 .. 32.
  const STEPS = [1 / 32, 1 / 24, 1 / 16, 1 / 12, 1 / 8, 1 / 6, 1 / 4, 1 / 3, 1 / 2, 1,
    2, 3, 4, 6, 8, 12, 16, 24, 32];

  let core = null;
  const view = { shown: RESULT, fit: true, scale: 1, left: 0, top: 0 };
  // Slider steps measured from the input event to the drawn result (milliseconds), for
  // the browser tests and anyone curious (lumiveil.timings in the console).
  const timings = [];
  window.lumiveil = { timings, ready: false };

  function status(text, error) {
    $('status').textContent = text;
    $('status').classList.toggle('error', !!error);
  }

  function coreError() {
    return core.UTF8ToString(core._lv_error());
  }

  // ---- Loading ----

  function isBmp(bytes) {
    return bytes.length >= 2 && bytes[0] === 0x42 && bytes[1] === 0x4d;
  }

  // The browser decodes every format it knows into pixels, as they are stored in the file:
  // no colour-space conversion and no premultiplied alpha. BMP files go to the core's own
  // reader, which reads what the desktop tool reads.
  async function decode(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (isBmp(bytes)) return { bmp: bytes };
    const bitmap = await createImageBitmap(file, {
      colorSpaceConversion: 'none', premultiplyAlpha: 'none', imageOrientation: 'none' });
    const canvas = document.createElement('canvas');
    canvas.width = bitmap.width;
    canvas.height = bitmap.height;
    const context = canvas.getContext('2d', { willReadFrequently: true, colorSpace: 'srgb' });
    context.drawImage(bitmap, 0, 0);
    bitmap.close();
    const image = context.getImageData(0, 0, canvas.width, canvas.height, { colorSpace: 'srgb' });
    return { rgba: image.data, width: image.width, height: image.height };
  }

  async function load(which, file) {
    if (!file) return;
    status(`Reading ${file.name}…`);
    let picture;
    try {
      picture = await decode(file);
    } catch (e) {
      status(`${file.name}: this browser cannot read it as a picture`, true);
      return;
    }
    const data = picture.bmp || picture.rgba;
    const p = core._malloc(data.length);
    if (!p) {
      status(`${file.name}: not enough memory for the picture`, true);
      return;
    }
    core.HEAPU8.set(data, p);
    const hidden = which === HIDDEN ? 1 : 0;
    const rc = picture.bmp ? core._lv_load_bmp(hidden, p, data.length)
      : core._lv_load_pixels(hidden, p, picture.width, picture.height);
    core._free(p);
    if (rc !== 0) {
      status(`${file.name}: ${coreError()}`, true);
      return;
    }
    ++version;
    status(`${file.name}: ${core._lv_width(which)} x ${core._lv_height(which)}`);
    thumbnail(which);
    if (which === VISIBLE && core._lv_has_result()) thumbnail(HIDDEN);
    $('hint').hidden = !!core._lv_has_result();
    $('targets').hidden = !core._lv_has_result();
    $('check-target').disabled = Number($('target').value) < 0 || !core._lv_has_result();
    for (const b of document.querySelectorAll('.saves button')) b.disabled = !core._lv_has_result();
    // The picture just loaded until there is a result; then the result (or the reveal
    // view, when that is what the page shows).
    view.fit = true;
    if (!core._lv_has_result()) show(which);
    else show(view.shown === REVEAL ? REVEAL : RESULT);
  }

  // ---- Drawing ----

  // Draws a picture of the core into a canvas at a zoom, through a block of the module's
  // memory kept for the purpose.
  let buffer = { pointer: 0, bytes: 0 };
  function draw(canvas, which, scale, left, top) {
    const width = canvas.width, height = canvas.height;
    const bytes = width * height * 4;
    if (bytes === 0) return;
    if (buffer.bytes < bytes) {
      if (buffer.pointer) core._free(buffer.pointer);
      buffer = { pointer: core._malloc(bytes), bytes };
    }
    // The stage's grey where the picture does not reach.
    new Uint32Array(core.HEAPU8.buffer, buffer.pointer, width * height).fill(0xff5a5a5a);
    core._lv_render(which, scale, left, top, width, height, buffer.pointer);
    const pixels = new Uint8ClampedArray(core.HEAPU8.buffer, buffer.pointer, bytes);
    canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  function thumbnail(which) {
    const canvas = $(which === VISIBLE ? 'thumb-visible' : 'thumb-hidden');
    const w = core._lv_width(which), h = core._lv_height(which);
    $(which === VISIBLE ? 'size-visible' : 'size-hidden').textContent = w ? `${w} x ${h}` : '(none)';
    if (!w) return;
    const scale = Math.min(canvas.width / w, canvas.height / h);
    draw(canvas, which, scale, -(canvas.width / scale - w) / 2, -(canvas.height / scale - h) / 2);
  }

  const stage = $('stage');
  const canvas = $('view');

  function stageSize() {
    const ratio = Math.min(window.devicePixelRatio || 1, 2);
    const width = Math.max(1, Math.round(stage.clientWidth * ratio));
    const height = Math.max(1, Math.round(stage.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    return { width, height };
  }

  function fitScale(w, h) {
    const { width, height } = stageSize();
    return Math.min(width / w, height / h);
  }

  // Keeps the view's origin so that the picture stays in the stage (centred when smaller).
  function clampView(w, h) {
    const { width, height } = stageSize();
    const vw = width / view.scale, vh = height / view.scale;
    view.left = vw >= w ? -(vw - w) / 2 : Math.min(Math.max(view.left, 0), w - vw);
    view.top = vh >= h ? -(vh - h) / 2 : Math.min(Math.max(view.top, 0), h - vh);
  }

  function render() {
    const which = view.shown;
    const w = core._lv_width(which), h = core._lv_height(which);
    stageSize();
    if (!w) {
      canvas.getContext('2d').clearRect(0, 0, canvas.width, canvas.height);
      $('zoom-scale').textContent = view.fit ? 'Fit' : scaleText(view.scale);
      return;
    }
    if (view.fit) view.scale = fitScale(w, h);
    clampView(w, h);
    draw(canvas, which, view.scale, view.left, view.top);
    $('zoom-scale').textContent = (view.fit ? 'Fit ' : '') + scaleText(view.scale);
  }

  function scaleText(scale) {
    if (scale >= 1) return `${Math.round(scale * 100) / 100}:1`;
    const inverse = 1 / scale;
    return Number.isInteger(Math.round(inverse * 100) / 100) ? `1:${Math.round(inverse)}`
      : `${Math.round(scale * 1000) / 10}%`;
  }

  function show(which) {
    view.shown = which;
    for (const tab of document.querySelectorAll('.tabs button'))
      tab.setAttribute('aria-selected', String(Number(tab.dataset.show) === which));
    $('reveal-controls').hidden = which !== REVEAL;
    if (which === REVEAL) makeReveal();
    render();
    scores();
  }

  function makeReveal() {
    if (!core._lv_has_result()) return;
    const size = Math.min(65535, Math.max(1, Number($('reveal-size').value) || 256));
    if (core._lv_make_reveal(Number($('reveal-view').value), size,
      Number($('reveal-filter').value)) !== 0)
      status(coreError(), true);
  }

  // The band and both scores at once; the band found in the result (a pass over the whole
  // picture) once the sliders have rested for a moment, so that it never delays a step.
  let foundTimer = 0;
  function scores() {
    clearTimeout(foundTimer);
    if (!core._lv_has_result()) {
      $('scores').textContent = '';
      return;
    }
    const a = core._lv_average(), c = core._lv_contrast();
    const visible = core._lv_visible_score(), hidden = core._lv_hidden_score();
    const db = (v) => (v === Infinity ? 'exact' : `${v.toFixed(2)} dB`);
    const line = (found) => `Band ${a - c} to ${a + c} (average ${a}, contrast ${c}; ` +
      `found in the result: ${found}) · visible ${db(visible)}` +
      (Number.isNaN(hidden) ? '' : ` · hidden ${db(hidden)}`);
    $('scores').textContent = line('…');
    if (Number($('target').value) >= 0 && $('verdict').textContent && !pending)
      $('verdict').textContent = 'the result has changed: Check again';
    foundTimer = setTimeout(() => {
      const found = core._lv_found_band();
      $('scores').textContent = line(`${found >> 8}, ${found & 255}`);
    }, 250);
  }

  // ---- Targets: what the chosen site or viewer makes of the result ----

  // A check re-encodes the whole result as the site would: seconds for a large picture. It
  // runs in a worker with a module of its own, so that the page stays responsive meanwhile;
  // the worker gets copies of the three pictures and gives back the verdict's parts. Where no worker can start, the check runs here and the page waits.
  // Each change of the result counts up `version`: a verdict on an older result is not
  // shown as the current one.
  let version = 0;
  let worker = null, workerFailed = false, checking = 0;
  window.lumiveil.checks = [];  // when each check started and ended (for the browser tests)

  // The worker's script: the core's own script (the module's factory, as the page has it)
  // and a message handler that runs one check.
  function workerSource() {
    const handler = () => {
      const ready = LumiveilCore().then((core) => { core._lv_init(); return core; });
      self.onmessage = async (e) => {
        const core = await ready;
        const m = e.data;
        const bytes = m.width * m.height * 3;
        const pointers = [];
        let answer;
        try {
          for (const pixels of [m.result, m.visible, m.hidden]) {
            const p = core._malloc(bytes);
            if (!p) throw new Error('not enough memory for the check');
            pointers.push(p);
            core.HEAPU8.set(new Uint8Array(pixels), p);
          }
          const rc = core._lv_check_pixels(m.target, m.width, m.height, pointers[0], pointers[1],
            pointers[2], m.average, m.contrast);
          answer = rc !== 0 ? { error: core.UTF8ToString(core._lv_error()) } : {
            verdict: core.UTF8ToString(core._lv_check_verdict()),
            hidden: core._lv_check_hidden_score(), grey: core._lv_check_grey_score(),
            visible: core._lv_check_visible_score(),
            thumbnail: core.UTF8ToString(core._lv_check_thumbnail()),
            bandKept: core._lv_check_band_kept() !== 0,
          };
        } catch (error) {
          answer = { error: String(error.message || error) };
        }
        for (const p of pointers) core._free(p);
        self.postMessage({ id: m.id, ...answer });
      };
    };
    return `${$('core').textContent}\n(${handler})();\n`;
  }

  function startWorker() {
    if (worker || workerFailed) return worker;
    try {
      const url = URL.createObjectURL(new Blob([workerSource()], { type: 'text/javascript' }));
      worker = new Worker(url);
      URL.revokeObjectURL(url);
      worker.onmessage = (e) => answered(e.data);
      worker.onerror = (e) => {
        e.preventDefault();
        worker.terminate();
        worker = null;
        workerFailed = true;
        if (checking) answered({ id: checking, error: 'the check could not run beside the page' });
      };
    } catch (e) {
      workerFailed = true;
      worker = null;
    }
    return worker;
  }

  // A picture of the core as three bytes a pixel, in a buffer of its own.
  function pixelsOf(which, width, height) {
    const bytes = width * height * 3;
    const p = core._malloc(bytes);
    if (!p) throw new Error('not enough memory for the check');
    try {
      if (core._lv_copy_picture(which, p) !== 0) throw new Error(coreError());
      return core.HEAPU8.slice(p, p + bytes).buffer;
    } finally {
      core._free(p);
    }
  }

  const db = (v) => (Number.isNaN(v) ? 'none' : v === Infinity ? 'exact' : `${v.toFixed(2)} dB`);
  let pending = null;  // the check under way: its id, target's name, result version, start

  function answered(answer) {
    if (!pending || answer.id !== pending.id) return;
    const { name, checked, started } = pending;
    pending = null;
    checking = 0;
    window.lumiveil.checks.push({ started, ended: performance.now() });
    if (answer.error) {
      $('verdict').textContent = `${name} cannot be checked: ${answer.error}`;
    } else if (checked !== version) {
      $('verdict').textContent = 'the result has changed: Check again';
    } else {
      $('verdict').textContent = `hidden picture ${answer.verdict} ` +
        `(${db(answer.hidden)}, grey ${db(answer.grey)}), normal view ${db(answer.visible)}` +
        (answer.thumbnail === 'none' ? '' : `; thumbnail shows ${answer.thumbnail}`) +
        `; stored band ${answer.bandKept ? 'kept' : 'lost'}`;
    }
  }

  let nextCheck = 1;
  function verdict() {
    const chosen = Number($('target').value);
    $('targets').hidden = !core._lv_has_result();
    $('check-target').disabled = chosen < 0 || !core._lv_has_result();
    if (chosen < 0 || !core._lv_has_result()) {
      pending = null;
      $('verdict').textContent = '';
      return;
    }
    const id = nextCheck++;
    pending = { id, name: $('target').selectedOptions[0].textContent, checked: version,
      started: performance.now() };
    window.lumiveil.checkStarted = pending.started;
    if (startWorker()) {
      const width = core._lv_width(RESULT), height = core._lv_height(RESULT);
      let message;
      try {
        message = { id, target: chosen, width, height, average: core._lv_average(),
          contrast: core._lv_contrast(), result: pixelsOf(RESULT, width, height),
          visible: pixelsOf(VISIBLE, width, height), hidden: pixelsOf(HIDDEN, width, height) };
      } catch (e) {
        answered({ id, error: String(e.message || e) });
        return;
      }
      checking = id;
      worker.postMessage(message, [message.result, message.visible, message.hidden]);
      return;
    }
    if (core._lv_check_target(chosen) !== 0) {
      answered({ id, error: coreError() });
      return;
    }
    const text = (pointer) => core.UTF8ToString(pointer);
    answered({ id, verdict: text(core._lv_check_verdict()),
      hidden: core._lv_check_hidden_score(), grey: core._lv_check_grey_score(),
      visible: core._lv_check_visible_score(), thumbnail: text(core._lv_check_thumbnail()),
      bandKept: core._lv_check_band_kept() !== 0 });
  }
  function check() {
    $('check-target').disabled = Number($('target').value) < 0 || !core._lv_has_result();
    if (Number($('target').value) < 0) {
      pending = null;
      $('verdict').textContent = '';
      return;
    }
    $('verdict').textContent = 'checking…';
    // The word shows before the pictures are copied for the check.
    setTimeout(verdict, 20);
  }
  $('target').addEventListener('change', check);
  $('check-target').addEventListener('click', check);

  // ---- Zoom and scrolling ----

  function zoomTo(scale, cx, cy) {
    const which = view.shown;
    const w = core._lv_width(which);
    if (!w) return;
    const { width, height } = stageSize();
    if (cx === undefined) cx = width / 2, cy = height / 2;
    const px = view.left + cx / view.scale, py = view.top + cy / view.scale;
    view.fit = false;
    view.scale = scale;
    view.left = px - cx / scale;
    view.top = py - cy / scale;
    render();
  }

  function step(direction, cx, cy) {
    const current = view.scale;
    const next = direction > 0 ? STEPS.find((s) => s > current * 1.0001)
      : [...STEPS].reverse().find((s) => s < current / 1.0001);
    if (next) zoomTo(next, cx, cy);
  }

  $('zoom-in').onclick = () => step(1);
  $('zoom-out').onclick = () => step(-1);
  $('zoom-fit').onclick = () => { view.fit = true; render(); };
  $('zoom-one').onclick = () => zoomTo(1);

  stage.addEventListener('wheel', (e) => {
    if (!e.ctrlKey) return;
    e.preventDefault();
    const r = stage.getBoundingClientRect(), ratio = canvas.width / r.width;
    step(e.deltaY < 0 ? 1 : -1, (e.clientX - r.left) * ratio, (e.clientY - r.top) * ratio);
  }, { passive: false });

  // Dragging scrolls; two fingers pinch the zoom.
  const pointers = new Map();
  let pinch = null;
  stage.addEventListener('pointerdown', (e) => {
    stage.setPointerCapture(e.pointerId);
    pointers.set(e.pointerId, { x: e.clientX, y: e.clientY });
    if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      pinch = { distance: Math.hypot(a.x - b.x, a.y - b.y), scale: view.scale };
    }
  });
  stage.addEventListener('pointermove', (e) => {
    const last = pointers.get(e.pointerId);
    if (!last) return;
    const r = stage.getBoundingClientRect(), ratio = canvas.width / r.width;
    pointers.set(e.pointerId, { x: e.clientX, y: e.clientY });
    if (pointers.size === 2 && pinch) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a.x - b.x, a.y - b.y);
      const scale = Math.min(32, Math.max(1 / 32, pinch.scale * distance / pinch.distance));
      zoomTo(scale, ((a.x + b.x) / 2 - r.left) * ratio, ((a.y + b.y) / 2 - r.top) * ratio);
      return;
    }
    if (pointers.size !== 1 || view.fit) return;
    view.left -= (e.clientX - last.x) * ratio / view.scale;
    view.top -= (e.clientY - last.y) * ratio / view.scale;
    render();
  });
  const release = (e) => {
    pointers.delete(e.pointerId);
    if (pointers.size < 2) pinch = null;
  };
  stage.addEventListener('pointerup', release);
  stage.addEventListener('pointercancel', release);

  new ResizeObserver(() => { if (core) render(); }).observe(stage);

  // ---- The sliders ----

  const average = $('average'), averageNumber = $('average-number');
  const contrast = $('contrast'), contrastNumber = $('contrast-number');

  // The controls as the core's sliders stand: the contrast's maximum is L(A).
  function syncSliders() {
    const max = core._lv_contrast_max();
    contrast.max = contrastNumber.max = String(max);
    $('contrast-limit').textContent = String(max);
    average.value = averageNumber.value = String(core._lv_average());
    contrast.value = contrastNumber.value = String(core._lv_contrast());
  }

  function slid(event, set, value) {
    if (!Number.isFinite(value)) return;
    if (set(Math.round(value)) !== 0) {
      status(coreError(), true);
      return;
    }
    syncSliders();
    if (!core._lv_has_result()) return;
    ++version;
    if (view.shown === REVEAL) makeReveal();
    if (view.shown !== VISIBLE && view.shown !== HIDDEN) render();
    const drawn = performance.now();
    timings.push(drawn - event.timeStamp);
    window.lumiveil.lastStep = drawn;
    scores();
  }

  average.addEventListener('input', (e) => slid(e, core_set_average, Number(average.value)));
  contrast.addEventListener('input', (e) => slid(e, core_set_contrast, Number(contrast.value)));
  // A number box takes its number on Enter, Tab or a click elsewhere; the arrows step.
  averageNumber.addEventListener('change', (e) => slid(e, core_set_average, Number(averageNumber.value)));
  contrastNumber.addEventListener('change', (e) => slid(e, core_set_contrast, Number(contrastNumber.value)));
  function core_set_average(v) { return core._lv_set_average(Math.min(255, Math.max(0, v))); }
  function core_set_contrast(v) { return core._lv_set_contrast(Math.max(0, v)); }

  // ---- Reveal ----

  for (const id of ['reveal-view', 'reveal-filter', 'reveal-size'])
    $(id).addEventListener('change', () => show(REVEAL));
  for (const tab of document.querySelectorAll('.tabs button'))
    tab.addEventListener('click', () => show(Number(tab.dataset.show)));

  // ---- Saving ----

  function save(index) {
    const name = core.UTF8ToString(core._lv_save_file_name(index));
    if (core._lv_save(index) !== 0) {
      status(coreError(), true);
      return;
    }
    const bytes = core.HEAPU8.slice(core._lv_file(), core._lv_file() + core._lv_file_size());
    // The media type from the name's ending: image/png, image/gif, image/bmp.
    const type = 'image/' + name.slice(name.lastIndexOf('.') + 1);
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
    status(`Saved ${name} (${bytes.length} bytes)`);
  }

  // ---- The core's lists: its saves, its reveal views and filters ----

  function lists() {
    const text = (pointer) => core.UTF8ToString(pointer);
    const saves = document.querySelector('.saves');
    for (let i = 0; i < core._lv_save_count(); ++i) {
      const b = document.createElement('button');
      b.textContent = text(core._lv_save_label(i));
      b.title = text(core._lv_save_title(i));
      b.dataset.file = text(core._lv_save_file_name(i));
      b.disabled = true;
      b.addEventListener('click', () => save(i));
      saves.appendChild(b);
    }
    const views = $('reveal-view');
    for (let i = 0; i < core._lv_view_count(); ++i) {
      const option = new Option(text(core._lv_view_name(i)), String(i));
      option.title = text(core._lv_view_description(i));
      views.add(option);
    }
    views.value = String(core._lv_default_view());
    const targets = $('target');
    for (let i = 0; i < core._lv_target_count(); ++i) {
      const option = new Option(text(core._lv_target_name(i)), String(i));
      option.title = text(core._lv_target_description(i));
      targets.add(option);
    }
    const filters = $('reveal-filter');
    for (let i = 0; i < core._lv_filter_count(); ++i)
      filters.add(new Option(text(core._lv_filter_name(i)), String(i)));
  }

  // ---- Files: the pickers, and drops on the two boxes (or anywhere: the first free slot) ----

  $('file-visible').addEventListener('change', (e) => { load(VISIBLE, e.target.files[0]); e.target.value = ''; });
  $('file-hidden').addEventListener('change', (e) => { load(HIDDEN, e.target.files[0]); e.target.value = ''; });
  for (const [id, which] of [['drop-visible', VISIBLE], ['drop-hidden', HIDDEN]]) {
    const box = $(id);
    box.addEventListener('dragover', (e) => { e.preventDefault(); box.classList.add('over'); });
    box.addEventListener('dragleave', () => box.classList.remove('over'));
    box.addEventListener('drop', (e) => {
      e.preventDefault();
      e.stopPropagation();
      box.classList.remove('over');
      load(which, e.dataTransfer.files[0]);
    });
    box.addEventListener('click', () => $(which === VISIBLE ? 'file-visible' : 'file-hidden').click());
    box.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') $(which === VISIBLE ? 'file-visible' : 'file-hidden').click();
    });
  }
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    const files = [...e.dataTransfer.files];
    if (files.length >= 2) {
      await load(VISIBLE, files[0]);
      await load(HIDDEN, files[1]);
    } else if (files.length === 1) {
      await load(core._lv_width(VISIBLE) ? HIDDEN : VISIBLE, files[0]);
    }
  });

  // ---- Keys: as the window's zoom keys, without Ctrl where the browser keeps Ctrl ----

  document.addEventListener('keydown', (e) => {
    if (e.target instanceof HTMLInputElement || e.target instanceof HTMLSelectElement) return;
    if (e.key === '+' || e.key === '=') step(1);
    else if (e.key === '-') step(-1);
    else if (e.key === '0') { view.fit = true; render(); }
    else if (e.key === '1') zoomTo(1);
  });

  // ---- Start ----

  LumiveilCore().then((module) => {
    core = module;
    core._lv_init();
    lists();
    syncSliders();
    render();
    window.lumiveil.readyAt = performance.now();
    window.lumiveil.ready = true;
  }, (e) => status(`The page's core could not start: ${e}`, true));
})();
