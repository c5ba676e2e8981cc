'use strict';
// The dashboard: the fleet table from the event stream (polling while the
// stream is down), and for a chosen tank its chart and consumption table.
const T = JSON.parse(document.getElementById('texts').textContent);
const lang = document.documentElement.lang || 'en';
const fmt = (v, digits) => new Intl.NumberFormat(lang, { maximumFractionDigits: digits }).format(v);
const fullTime = new Intl.DateTimeFormat(lang, { dateStyle: 'medium', timeStyle: 'medium' });
const say = (text, value) => text.replace('%s', value);
let tanks = [];
let chosen = 0;

for (const el of document.querySelectorAll('[data-t]')) el.textContent = T[el.dataset.t] || '';
const heads = [...document.querySelectorAll('#fleet th')].map(th => th.textContent);

function ago(iso) {
  if (!iso) return '';
  const minutes = Math.max(0, Math.floor((Date.now() - Date.parse(iso)) / 60000));
  if (minutes < 1) return T.now;
  if (minutes < 120) return say(T.minutes, fmt(minutes, 0));
  if (minutes < 48 * 60) return say(T.hours, fmt(Math.floor(minutes / 60), 0));
  return say(T.daysAgo, fmt(Math.floor(minutes / 1440), 0));
}

function cell(row, label, cls) {
  const td = row.insertCell();
  td.dataset.label = label;
  if (cls) td.className = cls;
  return td;
}

function showTanks() {
  const body = document.querySelector('#fleet tbody');
  body.replaceChildren();
  for (const t of tanks) {
    const tr = body.insertRow();
    tr.dataset.tank = t.number;
    if (t.number === chosen) tr.className = 'chosen';
    cell(tr, heads[0], 'num').textContent = t.number;
    cell(tr, heads[1], 'name').textContent = t.name;
    cell(tr, heads[2], 'num level').textContent = t.level === null ? '' : fmt(t.level, 3) + ' ' + t.unit;
    const bar = document.createElement('div');
    bar.className = 'bar';
    const fill = document.createElement('span');
    const label = document.createElement('b');
    if (t.percent !== null) {
      fill.style.width = Math.min(100, Math.max(0, t.percent)) + '%';
      label.textContent = fmt(t.percent, 0) + ' %';
    }
    bar.append(fill, label);
    cell(tr, heads[3]).append(bar);
    cell(tr, heads[4], 'num').textContent = t.days_until_empty === null ? '' : fmt(t.days_until_empty, 1);
    const last = cell(tr, heads[5]);
    last.textContent = ago(t.time);
    if (t.time) last.title = fullTime.format(new Date(t.time));
    const state = document.createElement('span');
    state.className = 'state ' + t.state;
    state.textContent = T[t.state] || t.state;
    cell(tr, heads[6]).append(state);
    tr.addEventListener('click', () => choose(t.number));
  }
  const t = tanks.find(x => x.number === chosen);
  if (t) document.getElementById('detail-name').textContent = t.name;
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
      tanks = (await r.json()).tanks;
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
  events.onerror = () => startPolling();
}

const ranges = [1, 3, 12, 24, 60];
const rangeBox = document.getElementById('range');
for (const m of ranges) rangeBox.add(new Option(say(T.months, fmt(m, 0)), m));
rangeBox.value = 3;
rangeBox.addEventListener('change', () => showDetail());
document.getElementById('close').addEventListener('click', () => {
  chosen = 0;
  document.getElementById('detail').hidden = true;
  showTanks();
});

function choose(n) {
  chosen = n;
  document.getElementById('detail').hidden = false;
  showTanks();
  showDetail();
}

async function showDetail() {
  const n = chosen;
  const from = new Date();
  from.setMonth(from.getMonth() - Number(rangeBox.value));
  const [history, consumption] = await Promise.all([
    fetch(`/api/v1/tanks/${n}/history?from=${encodeURIComponent(from.toISOString())}`).then(r => r.json()),
    fetch(`/api/v1/tanks/${n}/consumption`).then(r => r.json()),
  ]);
  if (n !== chosen) return;
  drawChart(history);
  showConsumption(consumption);
}

function drawChart(h) {
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
  const pts = h.points;
  if (pts.length === 0) { g.fillText(T.noData, 10, 20); return; }
  let lo = Infinity, hi = -Infinity;
  for (const p of pts) { lo = Math.min(lo, p[1]); hi = Math.max(hi, p[1]); }
  lo = Math.min(0, lo);
  if (hi <= lo) hi = lo + 1;
  const t0 = pts[0][0], t1 = Math.max(pts[pts.length - 1][0], t0 + 1);
  const left = 56, right = 10, top = 22, bottom = 24;
  const x = t => left + (t - t0) / (t1 - t0) * (width - left - right);
  const y = v => top + (1 - (v - lo) / (hi - lo)) * (height - top - bottom);
  g.strokeStyle = '#dde2ea';
  g.textAlign = 'right';
  for (let i = 0; i <= 4; ++i) {
    const v = lo + (hi - lo) * i / 4;
    g.beginPath(); g.moveTo(left, y(v)); g.lineTo(width - right, y(v)); g.stroke();
    g.fillText(fmt(v, 1), left - 4, y(v) + 4);
  }
  g.textAlign = 'left';
  g.fillText(h.unit, 4, 12);
  g.textAlign = 'center';
  // Within two days the hours tell more than the dates.
  const dates = new Intl.DateTimeFormat(lang, t1 - t0 < 2 * 86400
    ? { hour: '2-digit', minute: '2-digit' } : { day: 'numeric', month: 'short' });
  const ticks = Math.max(2, Math.floor((width - left) / 110));
  for (let i = 0; i <= ticks; ++i) {
    const t = t0 + (t1 - t0) * i / ticks;
    g.textAlign = i === 0 ? 'left' : i === ticks ? 'right' : 'center';
    g.fillText(dates.format(new Date(t * 1000)), x(t), height - 6);
  }
  g.strokeStyle = '#2f6fd6';
  g.lineWidth = 1.5;
  g.beginPath();
  pts.forEach((p, i) => (i ? g.lineTo(x(p[0]), y(p[1])) : g.moveTo(x(p[0]), y(p[1]))));
  g.stroke();
}

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
