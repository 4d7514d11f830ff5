// Reference Automerge peer for the document library's interop tests.
//   node ref.mjs scenario NAME OUT_PREFIX   writes OUT_PREFIX.{save,incr,json}
//   node ref.mjs view FILE                  prints {view, heads, hashes} of a file
//   node ref.mjs peer [FILE]                sync peer: reads commands on stdin, one per line
import * as A from '@automerge/automerge';
import fs from 'node:fs';
import readline from 'node:readline';

const hex = (b) => Buffer.from(b).toString('hex');

// The JSON view the C++ side produces: counters as numbers, timestamps as ms, bytes as base64.
function view(v) {
  if (v === null || v === undefined) return null;
  if (A.isCounter(v)) return v.value;
  if (v instanceof Date) return v.getTime();
  if (v instanceof Uint8Array) return Buffer.from(v).toString('base64');
  if (A.isImmutableString && A.isImmutableString(v)) return v.toString();
  if (typeof v === 'bigint') return Number(v);
  if (Array.isArray(v)) return v.map(view);
  if (typeof v === 'object') {
    const out = {};
    for (const k of Object.keys(v).sort()) out[k] = view(v[k]);
    return out;
  }
  return v;
}

function summary(doc) {
  return {
    view: view(doc),
    heads: A.getHeads(doc).slice().sort(),
    hashes: A.getAllChanges(doc).map((c) => A.decodeChange(c).hash),
  };
}

// Each scenario returns [doc, list of saves] where saves are taken after some changes.
const scenarios = {
  chat() {
    let d = A.init({ actor: 'aa01' });
    const incr = [];
    d = A.change(d, { time: 1000, message: 'init' }, (x) => { x.channels = {}; x.title = 'Kivo'; x.n = 1; });
    incr.push(A.save(d));
    d = A.change(d, { time: 2000 }, (x) => { x.channels.general = []; });
    incr.push(A.saveIncremental(d));
    d = A.change(d, { time: 3000 }, (x) => {
      x.channels.general.push({ author: 'ann', text: 'héllo 😀 wörld', ts: new Date(5000), likes: new A.Counter(1) });
    });
    incr.push(A.saveIncremental(d));
    d = A.change(d, { time: 4000, message: 'edit' }, (x) => {
      A.splice(x, ['channels', 'general', 0, 'text'], 6, 2, '🎉');
      x.channels.general[0].likes.increment(2);
      delete x.n;
      x.flag = true;
      x.f = 2.5;
      x.u = new A.Uint(7);
      x.bytes = new Uint8Array([1, 2, 3]);
      x.nul = null;
      x.raw = new A.ImmutableString('imm');
      x.neg = -42;
    });
    incr.push(A.saveIncremental(d));
    d = A.change(d, { time: 5000 }, (x) => {
      x.channels.general.insertAt(0, 7, 8);
      x.channels.general.deleteAt(1);
      A.splice(x, ['title'], 4, 0, ' Chat');
      A.splice(x, ['title'], 0, 1, 'k');
    });
    incr.push(A.saveIncremental(d));
    return [d, incr];
  },
  conflicts() {
    let a = A.init({ actor: 'aa' });
    a = A.change(a, { time: 1 }, (x) => { x.k = 1; x.l = [1]; x.t = 'abc'; x.c = new A.Counter(10); });
    let b = A.merge(A.init({ actor: 'bb' }), a);
    let c = A.merge(A.init({ actor: 'cc' }), a);
    a = A.change(a, { time: 2 }, (x) => { x.k = 2; x.l.insertAt(1, 2); A.splice(x, ['t'], 1, 0, 'A'); x.c.increment(1); });
    b = A.change(b, { time: 3 }, (x) => { x.k = 3; x.l.insertAt(1, 3); A.splice(x, ['t'], 1, 0, 'B'); x.c.increment(2); delete x.t2; });
    c = A.change(c, { time: 4 }, (x) => { delete x.k; x.l.insertAt(1, 4); A.splice(x, ['t'], 1, 1, 'C'); x.c.increment(3); x.l.deleteAt(0); });
    a = A.merge(a, b);
    a = A.merge(a, c);
    const mid = A.save(a);
    b = A.merge(b, a);
    b = A.change(b, { time: 5 }, (x) => { x.m = 'x'; });
    c = A.change(c, { time: 6 }, (x) => { x.m = 'y'; });
    a = A.merge(a, b);
    a = A.merge(a, c);
    return [a, [mid, A.saveIncremental(a)]];
  },
};

function writeScenario(name, prefix) {
  const [doc, incr] = scenarios[name]();
  fs.writeFileSync(prefix + '.save', A.save(doc));
  fs.writeFileSync(prefix + '.incr', Buffer.concat(incr.map((b) => Buffer.from(b))));
  const s = summary(doc);
  s.conflicts_m = Object.values(A.getConflicts(doc, 'm') || {}).map(view).sort();
  fs.writeFileSync(prefix + '.json', JSON.stringify(s));
}

function peer(file) {
  let doc = file ? A.load(fs.readFileSync(file)) : A.init({ actor: 'ee' });
  let state = A.initSyncState();
  let n = 0;
  const out = (s) => process.stdout.write(s + '\n');
  const rl = readline.createInterface({ input: process.stdin });
  rl.on('line', (line) => {
    const [cmd, arg] = line.trim().split(' ');
    try {
      if (cmd === 'msg') {
        [doc, state] = A.receiveSyncMessage(doc, state, Buffer.from(arg, 'hex'));
        out('ok');
      } else if (cmd === 'gen') {
        let msg;
        [state, msg] = A.generateSyncMessage(doc, state);
        out(msg ? 'msg ' + hex(msg) : 'none');
      } else if (cmd === 'edit') {
        // arg messages appended to channel "ref"
        doc = A.change(doc, { time: 7 }, (x) => {
          if (!x.ref) x.ref = [];
          for (let i = 0; i < Number(arg); i++) x.ref.push({ text: 'ref message ' + n++ + ' ✓' });
        });
        out('ok');
      } else if (cmd === 'summary') {
        out(JSON.stringify(summary(doc)));
      } else if (cmd === 'quit') {
        rl.close();
      } else out('error unknown command');
    } catch (e) {
      out('error ' + String(e.message || e).replace(/\n/g, ' '));
    }
  });
}

const [cmd, ...args] = process.argv.slice(2);
if (cmd === 'scenario') writeScenario(args[0], args[1]);
else if (cmd === 'view') {
  const doc = A.load(fs.readFileSync(args[0]));
  process.stdout.write(JSON.stringify(summary(doc)) + '\n');
} else if (cmd === 'peer') peer(args[0]);
else { console.error('usage: ref.mjs scenario|view|peer'); process.exit(2); }
