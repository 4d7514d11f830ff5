// The chat workload of doc_bench.cc run in the reference implementation.
//   node ref_bench.cjs INTEROP_DIR build N OUT   -> prints {build_s, size}
//   node ref_bench.cjs INTEROP_DIR load FILE     -> prints {load_s, rss_mb, read_channel_s, read_all_s}
//   node ref_bench.cjs INTEROP_DIR sync FILE     -> prints {full_sync_s, incr_sync_s}
const path = require('node:path');
const fs = require('node:fs');
const { createRequire } = require('node:module');
const [interop, cmd, ...args] = process.argv.slice(2);
const A = createRequire(path.join(interop, 'package.json'))('@automerge/automerge');
const now = () => Number(process.hrtime.bigint()) / 1e9;
const CHANNELS = 20;
const text = (i) => ('message ' + i + ' lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor').slice(0, 80);

function addMessages(d, from, n) {
  for (let i = from; i < from + n; i++) {
    const c = 'c' + (i % CHANNELS);
    d = A.change(d, { time: i }, (x) => { x.channels[c].push({ author: 'user' + (i % 50), text: text(i), ts: new Date(i) }); });
    const idx = Math.floor(i / CHANNELS);
    if (i % 10 === 0) d = A.change(d, { time: i }, (x) => { x.channels[c][idx].reactions = { ['user' + (i % 7)]: true }; });
    if (i % 20 === 0) d = A.change(d, { time: i }, (x) => { A.splice(x, ['channels', c, idx, 'text'], 8, 0, 'edited '); });
  }
  return d;
}

function build(n) {
  let d = A.init({ actor: 'a1' });
  d = A.change(d, { time: 0 }, (x) => { x.channels = {}; for (let c = 0; c < CHANNELS; c++) x.channels['c' + c] = []; });
  return addMessages(d, 0, n);
}

function syncPair(a, b) {
  let sa = A.initSyncState(), sb = A.initSyncState();
  for (;;) {
    let m1, m2;
    [sa, m1] = A.generateSyncMessage(a, sa);
    if (m1) [b, sb] = A.receiveSyncMessage(b, sb, m1);
    [sb, m2] = A.generateSyncMessage(b, sb);
    if (m2) [a, sa] = A.receiveSyncMessage(a, sa, m2);
    if (!m1 && !m2) return [a, b, sa, sb];
  }
}

if (cmd === 'build') {
  const t0 = now();
  const d = build(Number(args[0]));
  const t1 = now();
  const bytes = A.save(d);
  fs.writeFileSync(args[1], bytes);
  console.log(JSON.stringify({ build_s: t1 - t0, size: bytes.length }));
} else if (cmd === 'load') {
  const bytes = fs.readFileSync(args[0]);
  const t0 = now();
  const d = A.load(bytes);
  const t1 = now();
  const rss = process.memoryUsage().rss / 1048576;
  const ch = d.channels.c0.map((m) => m.text).length;
  const t2 = now();
  let all = 0;
  for (const c of Object.keys(d.channels)) for (const m of d.channels[c]) all += m.text.length;
  const t3 = now();
  console.log(JSON.stringify({ load_s: t1 - t0, rss_mb: rss, read_channel_s: t2 - t1, read_all_s: t3 - t2, n: ch + all * 0 }));
} else if (cmd === 'sync') {
  const full = A.load(fs.readFileSync(args[0]));
  const t0 = now();
  let [a, b] = syncPair(full, A.init({ actor: 'b1' }));
  const t1 = now();
  const n = a.channels.c0.length * CHANNELS;
  a = addMessages(a, n, 100);
  const t2 = now();
  syncPair(a, b);
  const t3 = now();
  console.log(JSON.stringify({ full_sync_s: t1 - t0, incr_sync_s: t3 - t2 }));
}
