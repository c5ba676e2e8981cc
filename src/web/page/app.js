'use strict';
// The dashboard: a summary of the tanks' states (each a filter), the fleet
// table from the event stream (polling while the stream is down), worst
// first, and for a chosen tank its state, chart and consumption table. A
// central installation's remote tanks count in the summary and show in the
// table (the first kRemoteRows of them that the filter keeps), their site
// before their name; a remote tank's detail reads its site's history.
const T = JSON.parse(document.getElementById('texts').textContent);
const lang = document.documentElement.lang || 'en';
const fmt = (v, digits) => new Intl.NumberFormat(lang, { maximumFractionDigits: digits }).format(v);
const fullTime = new Intl.DateTimeFormat(lang, { dateStyle: 'medium', timeStyle: 'medium' });
const say = (text, value) => text.replace('%s', value);
let tanks = [];
const remote = new Map(); // "site/number" -> tank, from the "remote" events
const kRemoteRows = 500;
let chosen = 0;
let chosenSite = null; // the chosen tank's site; null for an own tank

for (const el of document.querySelectorAll('[data-t]')) el.textContent = T[el.dataset.t] || '';
const heads = [...document.querySelectorAll('#fleet th')].map(th => th.textContent);
const wide = window.matchMedia('(min-width: 1200px)');

function ago(iso) {
  if (!iso) return '';
  const minutes = Math.max(0, Math.floor((Date.now() - Date.parse(iso)) / 60000));
  if (minutes < 1) return T.now;
  if (minutes < 120) return say(T.minutes, fmt(minutes, 0));
  if (minutes < 48 * 60) return say(T.hours, fmt(Math.floor(minutes / 60), 0));
  return say(T.daysAgo, fmt(Math.floor(minutes / 1440), 0));
}

// Days until empty; an empty tank says so. A date gone by while the tank
// still holds some is no forecast: never "Empty" beside its content.
const daysText = t => t.days_until_empty === null ? ''
  : t.level !== null && t.level <= 0 ? T.empty
  : t.days_until_empty <= 0 ? '' : fmt(t.days_until_empty, 1);

function cell(row, label, cls) {
  const td = row.insertCell();
  td.dataset.label = label;
  if (cls) td.className = cls;
  return td;
}

// A state's badge: its sign (from the state style sheet) and its word.
function badge(state, title) {
  const b = document.createElement('span');
  b.className = 'state st-' + state;
  const w = document.createElement('span');
  w.className = 'w';
  w.textContent = T[state] || state;
  b.append(w);
  b.title = title || T[state] || state;
  return b;
}

// Worst first, then the tank that runs dry first; a click on a heading
// sorts by that column, a second click the other way round.
const rank = s => { const i = T.order.indexOf(s); return i < 0 ? T.order.length : i; };
const sortKeys = {
  number: t => t.number,
  name: t => t.name,
  state: t => [rank(t.state), t.days_until_empty === null ? Infinity : t.days_until_empty],
  percent: t => t.percent === null ? -1 : t.percent,
  level: t => t.level === null ? -1 : t.level,
  days: t => t.days_until_empty === null ? Infinity : t.days_until_empty,
  time: t => t.time ? -Date.parse(t.time) : Infinity,
};
let sortBy = 'state', sortUp = true;
// Names as people read them: "Site 2" before "Site 10", case ignored.
const byName = new Intl.Collator(lang, { numeric: true, sensitivity: 'base' });
function compare(a, b) {
  const ka = [].concat(sortKeys[sortBy](a)), kb = [].concat(sortKeys[sortBy](b));
  for (let i = 0; i < ka.length; ++i) {
    const order = typeof ka[i] === 'string' ? byName.compare(ka[i], kb[i]) : ka[i] < kb[i] ? -1 : ka[i] > kb[i] ? 1 : 0;
    if (order) return sortUp ? order : -order;
  }
  return byName.compare(a.site || '', b.site || '') || a.number - b.number;
}
for (const th of document.querySelectorAll('#fleet th')) {
  th.addEventListener('click', () => {
    sortUp = sortBy === th.dataset.key ? !sortUp : true;
    sortBy = th.dataset.key;
    showTanks();
  });
}

// The filter: 'all', 'attention' (every state but ok) or a state's name.
let filter = 'all';
const shownBy = t => filter === 'all' || (filter === 'attention' ? t.state !== 'ok' : t.state === filter);
function setFilter(f) {
  filter = filter === f ? 'all' : f;
  showTanks();
}
document.getElementById('headline').addEventListener('click', () => setFilter('attention'));

// "N tanks need attention" for any N: the page has the forms of 0..199; a
// larger number takes the form of the one with its last two digits above 100.
function attentionText(n) {
  if (n < T.attentionN.length) return T.attentionN[n];
  const form = T.attentionN[100 + n % 100];
  return fmt(n, 0) + form.slice(form.indexOf(' '));
}

function showSummary() {
  const count = {};
  for (const t of tanks) count[t.state] = (count[t.state] || 0) + 1;
  for (const t of remote.values()) count[t.state] = (count[t.state] || 0) + 1;
  const all = tanks.length + remote.size;
  const trouble = all - (count.ok || 0);
  const headline = document.getElementById('headline');
  headline.textContent = trouble ? attentionText(trouble) : T.allOk;
  headline.classList.toggle('attention', trouble > 0);
  headline.setAttribute('aria-pressed', filter === 'attention');
  const chips = document.getElementById('chips');
  chips.replaceChildren();
  const allChip = document.createElement('button');
  allChip.type = 'button';
  allChip.className = 'chip';
  allChip.dataset.filter = 'all';
  allChip.append(T.all);
  const total = document.createElement('b');
  total.textContent = fmt(all, 0);
  allChip.append(total);
  allChip.setAttribute('aria-pressed', filter === 'all');
  allChip.addEventListener('click', () => { filter = 'all'; showTanks(); });
  chips.append(allChip);
  for (const state of T.order) {
    if (!count[state]) continue;
    const chip = document.createElement('button');
    chip.type = 'button';
    chip.className = 'chip st st-' + state;
    chip.dataset.filter = state;
    chip.append(T[state] || state);
    const n = document.createElement('b');
    n.textContent = fmt(count[state], 0);
    chip.append(n);
    chip.setAttribute('aria-pressed', filter === state);
    chip.addEventListener('click', () => setFilter(state));
    chips.append(chip);
  }
}

function showTanks() {
  // A filter whose tanks are all gone shows everything again.
  if (filter !== 'all' && !tanks.some(shownBy) && ![...remote.values()].some(shownBy)) filter = 'all';
  showSummary();
  for (const th of document.querySelectorAll('#fleet th'))
    if (th.dataset.key === sortBy) th.setAttribute('aria-sort', sortUp ? 'ascending' : 'descending');
    else th.removeAttribute('aria-sort');
  const body = document.querySelector('#fleet tbody');
  body.replaceChildren();
  const far = [...remote.values()].filter(shownBy).sort(compare).slice(0, kRemoteRows);
  for (const t of tanks.filter(shownBy).sort(compare).concat(far)) {
    const own = !t.site || t.site === 'local';
    const tr = body.insertRow();
    tr.dataset.tank = t.number;
    tr.dataset.state = t.state;
    if (t.number === chosen && (own ? !chosenSite : t.site === chosenSite)) tr.className = 'chosen';
    cell(tr, heads[0], 'num').textContent = t.number;
    cell(tr, heads[1], 'name').textContent = own ? t.name : t.site + ' · ' + t.name;
    const stateCell = cell(tr, heads[2], 'states');
    stateCell.append(badge(t.state, t.state_note));
    if (t.loss && t.state !== 'loss') { // a more urgent state shows first
      stateCell.append(' ', badge('loss', T.lossNote));
    }
    const fill = document.createElement('div');
    fill.className = 'fill st-' + t.state;
    const bar = document.createElement('div');
    bar.className = 'bar';
    const part = document.createElement('span');
    const figure = document.createElement('b');
    if (t.percent !== null) {
      part.style.width = Math.min(100, Math.max(0, t.percent)) + '%';
      figure.textContent = fmt(t.percent, 0) + ' %';
    }
    bar.append(part);
    fill.append(bar, figure);
    cell(tr, heads[3]).append(fill);
    cell(tr, heads[4], 'num level wide').textContent = t.level === null ? '' : fmt(t.level, 3) + ' ' + t.unit;
    cell(tr, heads[5], 'num').textContent = daysText(t);
    const last = cell(tr, heads[6], 'wide');
    last.textContent = ago(t.time);
    if (t.time) last.title = fullTime.format(new Date(t.time));
    tr.addEventListener('click', () => choose(t.number, own ? null : t.site));
  }
  const t = chosenSite ? remote.get(chosenSite + '/' + chosen) : tanks.find(x => x.number === chosen);
  if (t) {
    document.getElementById('detail-name').textContent =
      (chosenSite ? chosenSite + ' · ' : '') + t.number + ' ' + t.name;
    showDetailState(t);
    const meter = document.getElementById('meter');
    meter.textContent = t.consumed === null ? '' : say(T.consumed, fmt(t.consumed, 3) + ' ' + t.unit);
    if (shownHistory && shownHistory.tank === t.number) drawChart(shownHistory);
  }
}

// The state of the chosen tank in words: a fault says that there is no level.
function showDetailState(t) {
  const box = document.getElementById('detail-state');
  box.className = 'st-' + t.state + (t.state === 'ok' ? '' : ' ' + t.state);
  box.querySelector('.state').replaceWith(badge(t.state, t.state_note));
  document.getElementById('detail-note').textContent = t.state_note;
  const figures = [];
  if (t.level !== null) figures.push(fmt(t.level, 3) + ' ' + t.unit);
  if (t.percent !== null) figures.push(fmt(t.percent, 0) + ' %');
  if (t.days_until_empty !== null) figures.push(heads[5] + ': ' + daysText(t));
  if (t.time) figures.push(fullTime.format(new Date(t.time)));
  document.getElementById('detail-figures').textContent = figures.join(' · ');
}

function offline(on) {
  const el = document.getElementById('link');
  el.textContent = T.offline;
  el.hidden = !on;
}

// The event stream, and while it is down a poll every 2 s.
let poll = null;
function startPolling() {
  if (poll) return;
  poll = setInterval(async () => {
    try {
      const r = await fetch('/api/v1/tanks', { cache: 'no-store' });
      if (!r.ok) throw new Error(r.status);
      tanks = (await r.json()).tanks.filter(t => t.site === 'local');
      offline(false);
      showTanks();
    } catch (e) {
      offline(true);
    }
  }, 2000);
}
function listen() {
  const events = new EventSource('/api/v1/events');
  events.addEventListener('tanks', e => {
    tanks = JSON.parse(e.data).tanks;
    if (poll) { clearInterval(poll); poll = null; }
    offline(false);
    showTanks();
  });
  events.addEventListener('remote', e => {
    for (const t of JSON.parse(e.data).tanks) remote.set(t.site + '/' + t.number, t);
    showTanks();
  });
  events.onerror = () => startPolling();
}

const rangeBox = document.getElementById('range');
for (const m of Object.keys(T.monthsN).map(Number).sort((a, b) => a - b))
  rangeBox.add(new Option(T.monthsN[m], m));
rangeBox.value = 3;
rangeBox.addEventListener('change', () => showDetail());
document.getElementById('close').addEventListener('click', () => {
  chosen = 0;
  chosenSite = null;
  document.getElementById('detail').hidden = true;
  showTanks();
});

function choose(n, site) {
  chosen = n;
  chosenSite = site;
  shownHistory = null;
  const detail = document.getElementById('detail');
  detail.hidden = false;
  showTanks();
  showDetail();
  // Beside the table on a wide screen; below it, brought into view, on a narrow one.
  if (!wide.matches) detail.scrollIntoView({ block: 'start' });
}

async function showDetail() {
  const n = chosen, site = chosenSite;
  const from = new Date();
  from.setMonth(from.getMonth() - Number(rangeBox.value));
  const base = site ? `/api/v1/sites/${encodeURIComponent(site)}/tanks/${n}` : `/api/v1/tanks/${n}`;
  const [history, consumption] = await Promise.all([
    fetch(`${base}/history?from=${encodeURIComponent(from.toISOString())}`).then(r => r.json()),
    fetch(`${base}/consumption`).then(r => r.json()),
  ]);
  if (n !== chosen || site !== chosenSite) return;
  drawChart(history);
  showConsumption(consumption);
}

// The steps the time axis may take, finest first, with the fields its labels
// name: seconds and minutes within a few minutes, hours within two days,
// days, months and years beyond.
const SEC = 1, MIN = 60, HOUR = 3600, DAY = 86400;
const timeSteps = [
  ...[10, 15, 30].map(s => ({ secs: s * SEC, label: 'seconds' })),
  ...[1, 2, 5, 10, 15, 20, 30].map(m => ({ secs: m * MIN, label: 'minutes' })),
  ...[1, 2, 3, 4, 6, 8, 12].map(h => ({ secs: h * HOUR, label: 'minutes' })),
  ...[1, 2, 3, 4, 7, 14].map(d => ({ secs: d * DAY, label: 'days' })),
  // (a month as its shortest, so that no two labels come closer than measured)
  ...[1, 2, 3, 4, 6].map(m => ({ months: m, secs: m * 28 * DAY, label: 'months' })),
  ...[1, 2, 5, 10].map(y => ({ months: 12 * y, secs: y * 365 * DAY, label: 'years' })),
];
const labelFormats = {
  seconds: new Intl.DateTimeFormat(lang, { hour: '2-digit', minute: '2-digit', second: '2-digit' }),
  minutes: new Intl.DateTimeFormat(lang, { hour: '2-digit', minute: '2-digit' }),
  dayHours: new Intl.DateTimeFormat(lang, { day: 'numeric', month: 'short', hour: '2-digit', minute: '2-digit' }),
  days: new Intl.DateTimeFormat(lang, { day: 'numeric', month: 'short' }),
  months: new Intl.DateTimeFormat(lang, { month: 'short', year: '2-digit' }),
  years: new Intl.DateTimeFormat(lang, { year: 'numeric' }),
};

// The tick times of a step within t0..t1 (seconds), on round local times.
function stepTicks(step, t0, t1) {
  const out = [];
  if (step.months) {
    const d = new Date(t0 * 1000);
    const first = new Date(d.getFullYear(), Math.floor(d.getMonth() / step.months) * step.months, 1);
    for (let i = 0; out.length < 1000; ++i) {
      const t = new Date(first.getFullYear(), first.getMonth() + i * step.months, 1).getTime() / 1000;
      if (t > t1) break;
      if (t >= t0) out.push(t);
    }
    return out;
  }
  // Round in local time: midnight, full hours, as the wall clock shows them.
  const offset = new Date(t0 * 1000).getTimezoneOffset() * 60;
  let t = Math.ceil((t0 - offset) / step.secs) * step.secs + offset;
  if (step.secs >= DAY && step.secs < 30 * DAY) {
    const d = new Date(t0 * 1000);
    t = new Date(d.getFullYear(), d.getMonth(), d.getDate() + (d.getHours() || d.getMinutes() ? 1 : 0)).getTime() / 1000;
    for (let day = 0; out.length < 1000; day += step.secs / DAY) {
      const at = new Date(t * 1000);
      const tick = new Date(at.getFullYear(), at.getMonth(), at.getDate() + day).getTime() / 1000;
      if (tick > t1) break;
      out.push(tick);
    }
    return out;
  }
  for (; t <= t1 && out.length < 1000; t += step.secs) out.push(t);
  return out;
}

// The labels of the time axis: round times as dense as they fit without
// touching each other or leaving the picture, at least four of them.
function timeLabels(g, t0, t1, x, width) {
  const gap = 14;
  const sample = new Date(2000, 11, 28, 23, 58, 58);
  const widest = (f, label) => Math.max(g.measureText(f.format(sample)).width,
    label === 'minutes' ? g.measureText(labelFormats.days.format(sample)).width : 0);
  const inside = (px, w) => px - w / 2 >= 0 && px + w / 2 <= width;
  for (const step of timeSteps) {
    const f = labelFormats[step.label];
    const w = widest(f, step.label);
    if (step.secs / (t1 - t0) * (x(t1) - x(t0)) < w + gap) continue;
    const ticks = stepTicks(step, t0, t1).filter(t => inside(x(t), w));
    // Across midnight the day's first tick names the date instead of 00:00.
    const midnight = t => step.label === 'minutes' && new Date(t * 1000).getHours() === 0 && new Date(t * 1000).getMinutes() === 0;
    if (ticks.length >= 4)
      return ticks.map(t => ({ t, text: (midnight(t) ? labelFormats.days : f).format(new Date(t * 1000)) }));
    break;
  }
  // Too short or too narrow for four round times: four evenly spaced ones,
  // named as exactly as the span needs.
  const span = t1 - t0;
  const f = labelFormats[span < 10 * MIN ? 'seconds' : span < 2 * DAY ? 'minutes'
    : span < 8 * DAY ? 'dayHours' : span < 400 * DAY ? 'days' : 'months'];
  return [1, 3, 5, 7].map(k => {
    const t = t0 + span * k / 8;
    return { t, text: f.format(new Date(t * 1000)) };
  });
}

// The history of the chosen tank, drawn again when its live value moves.
let shownHistory = null;
// What the hover read-out needs of the drawn chart.
let plot = null;

function drawChart(h) {
  if (h !== shownHistory) showReadout(null);
  shownHistory = h;
  plot = null;
  const canvas = document.getElementById('chart');
  const ratio = window.devicePixelRatio || 1;
  const width = canvas.clientWidth;
  const height = canvas.clientWidth < 500 ? 200 : 300;
  canvas.width = width * ratio;
  canvas.height = height * ratio;
  canvas.style.height = height + 'px';
  const g = canvas.getContext('2d');
  g.scale(ratio, ratio);
  g.font = '12px system-ui, sans-serif';
  g.fillStyle = '#5b6475';
  const pts = h.points.slice();
  // The line ends at the last telegram, not at the last recorded point.
  const live = tanks.find(x => x.number === h.tank);
  if (live && live.level !== null && live.time) {
    const t = Date.parse(live.time) / 1000;
    while (pts.length && pts[pts.length - 1][0] >= t) pts.pop();
    pts.push([t, live.level, live.temperature]);
  }
  if (pts.length === 0) { g.fillText(T.noData, 10, 20); return; }
  let lo = Infinity, hi = -Infinity;
  for (const p of pts) { lo = Math.min(lo, p[1]); hi = Math.max(hi, p[1]); }
  lo = Math.min(0, lo);
  if (hi <= lo) hi = lo + 1;
  // Round steps (1, 2, 2.5 or 5 times a power of ten), the axis ending on one.
  const rough = (hi - lo) / 4, power = Math.pow(10, Math.floor(Math.log10(rough)));
  const m = [1, 2, 2.5, 5, 10].find(k => k * power >= rough * (1 - 1e-9)), step = m * power;
  lo = Math.floor(lo / step + 1e-9) * step;
  hi = Math.ceil(hi / step - 1e-9) * step;
  const decimals = Math.max(0, -Math.round(Math.log10(power)) + (m === 2.5 ? 1 : 0));
  const t1 = pts[pts.length - 1][0];
  const t0 = Math.min(pts[0][0], t1 - 60);
  const left = 56, right = 10, top = 22, bottom = 24;
  const x = t => left + (t - t0) / (t1 - t0) * (width - left - right);
  const y = v => top + (1 - (v - lo) / (hi - lo)) * (height - top - bottom);
  g.strokeStyle = '#dde2ea';
  g.textAlign = 'right';
  for (let i = 0; lo + i * step <= hi + step * 1e-9; ++i) {
    const v = lo + i * step;
    g.beginPath(); g.moveTo(left, y(v)); g.lineTo(width - right, y(v)); g.stroke();
    g.fillText(fmt(v, decimals), left - 4, y(v) + 4);
  }
  g.textAlign = 'left';
  g.fillText(h.unit, 4, 12);
  g.textAlign = 'center';
  const labels = timeLabels(g, t0, t1, x, width);
  for (const l of labels) {
    g.beginPath(); g.moveTo(x(l.t), top); g.lineTo(x(l.t), height - bottom); g.stroke();
    g.fillText(l.text, x(l.t), height - 6);
  }
  // What was drawn, for whoever checks the picture.
  canvas.dataset.labels = JSON.stringify(labels.map(l => {
    const w = g.measureText(l.text).width;
    return { text: l.text, from: x(l.t) - w / 2, to: x(l.t) + w / 2 };
  }));
  canvas.dataset.lastValue = pts[pts.length - 1][1];
  g.strokeStyle = '#2f6fd6';
  g.lineWidth = 1.5;
  g.beginPath();
  pts.forEach((p, i) => (i ? g.lineTo(x(p[0]), y(p[1])) : g.moveTo(x(p[0]), y(p[1]))));
  g.stroke();
  plot = { pts, x, y, top, bottom, height, unit: h.unit, base: g.getImageData(0, 0, canvas.width, canvas.height) };
}

// The hover read-out: the point nearest the pointer's time, marked on the
// chart, its time and value in words below it.
const readoutTime = new Intl.DateTimeFormat(lang, { dateStyle: 'medium', timeStyle: 'short' });
function showReadout(p) {
  const out = document.getElementById('readout');
  out.textContent = p ? readoutTime.format(new Date(p[0] * 1000)) + ': ' + fmt(p[1], 3) + ' ' + plot.unit : '';
}
function hover(e) {
  if (!plot) return;
  const canvas = e.currentTarget;
  const px = e.clientX - canvas.getBoundingClientRect().left;
  let best = plot.pts[0];
  for (const p of plot.pts) if (Math.abs(plot.x(p[0]) - px) < Math.abs(plot.x(best[0]) - px)) best = p;
  const g = canvas.getContext('2d');
  g.putImageData(plot.base, 0, 0);
  const ratio = window.devicePixelRatio || 1;
  g.save();
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  const bx = plot.x(best[0]), by = plot.y(best[1]);
  g.strokeStyle = '#5b6475';
  g.setLineDash([3, 3]);
  g.beginPath(); g.moveTo(bx, plot.top); g.lineTo(bx, plot.height - plot.bottom); g.stroke();
  g.setLineDash([]);
  g.fillStyle = '#2f6fd6';
  g.beginPath(); g.arc(bx, by, 4, 0, 2 * Math.PI); g.fill();
  g.restore();
  showReadout(best);
}
const chartCanvas = document.getElementById('chart');
chartCanvas.addEventListener('mousemove', hover);
chartCanvas.addEventListener('mouseleave', () => {
  if (plot) chartCanvas.getContext('2d').putImageData(plot.base, 0, 0);
  showReadout(null);
});

function showConsumption(c) {
  const table = document.getElementById('consumption');
  table.replaceChildren();
  const head = table.createTHead().insertRow();
  const monthName = new Intl.DateTimeFormat(lang, { month: 'short' });
  const th = text => { const e = document.createElement('th'); e.textContent = text; head.append(e); };
  th(T.year);
  for (let m = 0; m < 12; ++m) th(monthName.format(new Date(2000, m, 1)));
  th(T.total + (c.unit ? ' (' + c.unit + ')' : ''));
  const body = table.createTBody();
  for (const y of c.years || []) {
    const tr = body.insertRow();
    tr.insertCell().textContent = y.year;
    for (const v of y.months) tr.insertCell().textContent = v === null ? '' : fmt(v, 3);
    tr.insertCell().textContent = y.total === null ? '' : fmt(y.total, 3);
  }
}

window.addEventListener('resize', () => { if (chosen) showDetail(); });
setInterval(showTanks, 30000); // the "minutes ago" texts move on
listen();
