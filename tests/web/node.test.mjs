// The Node program, the web build's twin, on what the native one meets: a first run in an
// empty settings folder (and the runs after it), outputs that cannot be written (a FIFO
// nobody reads, a full device), a key script or TAMIRE.INI that is a FIFO, a folder as
// TAMIRE.INI, and Node without the flag it needs. Each ends as the Linux program does:
// the same status and the same line. QUELVAR_LINUX_BUILD names the Linux build to compare
// with (scripts/web-check.sh sets it); without it the statuses alone are checked.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { top } from './support.mjs';

const nodeProgram = path.join(top, 'build-web/node/quelvar.js');
const linuxBuild = process.env.QUELVAR_LINUX_BUILD || '';
const voice = path.join(linuxBuild || path.join(top, 'build'), 'test-voice');
const tour = path.join(top, 'tests/game/tour.keys');

function scratch() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quelvar-node-'));
  fs.mkdirSync(path.join(folder, 'config'));
  return folder;
}

// Runs the program (node: the Node build, else the Linux one) in 'folder' with 'args';
// gives {status, stderr}.
function run(which, folder, args, { flag = true } = {}) {
  const [program, ...before] = which === 'node'
    ? ['node', ...(flag ? ['--no-experimental-fetch'] : []), nodeProgram]
    : [path.join(linuxBuild, 'app/quelvar')];
  const result = spawnSync(program, [...before, '--console=headless', ...args], {
    cwd: folder, env: { ...process.env, QUELVAR_DATA_DIR: voice }, timeout: 30000, encoding: 'utf8' });
  return { status: result.status, signal: result.signal, stderr: result.stderr };
}

// The same run with both programs: the same status and the same lines on stderr, the
// folder's own name left out.
function bothEnd(prepare, args, expectedStatus) {
  const programs = linuxBuild ? ['node', 'linux'] : ['node'];
  const ends = programs.map((which) => {
    const folder = scratch();
    prepare(folder);
    const end = run(which, folder, args);
    fs.rmSync(folder, { recursive: true, force: true });
    return { status: end.status, signal: end.signal, stderr: end.stderr.split(folder).join('FOLDER') };
  });
  assert.equal(ends[0].status, expectedStatus, JSON.stringify(ends[0]));
  if (ends.length > 1) assert.deepEqual(ends[0], ends[1]);
}

test('without --no-experimental-fetch the Node program names the flag in one line and ends with 2', () => {
  const folder = scratch();
  const end = run('node', folder, [`--keys=${tour}`], { flag: false });
  assert.equal(end.status, 2);
  assert.match(end.stderr, /^quelvar: run this program as node --no-experimental-fetch quelvar\.js .*\n$/);
  fs.rmSync(folder, { recursive: true, force: true });
});

test('the first run in an empty settings folder writes the default settings; later runs read them', () => {
  const folder = scratch();
  const config = path.join(folder, 'config');
  const args = [`--keys=${tour}`, `--config-dir=${config}`, '--transcript=transcript'];
  const first = run('node', folder, args);
  assert.equal(first.status, 0, first.stderr);
  assert.match(first.stderr, /first run: default settings written to/);
  assert.deepEqual(fs.readdirSync(config), ['TAMIRE.INI']);
  assert.equal(fs.readFileSync(path.join(config, 'TAMIRE.INI'), 'latin1'),
               fs.readFileSync(path.join(voice, 'TAMIRE.INI'), 'latin1'));
  assert.equal(fs.readFileSync(path.join(folder, 'transcript'), 'utf8'),
               fs.readFileSync(path.join(top, 'tests/game/tour.transcript'), 'utf8'));
  for (let again = 0; again < 2; ++again) {
    const later = run('node', folder, args);
    assert.equal(later.status, 0, later.stderr);
    assert.equal(later.stderr, '');
  }
  assert.deepEqual(fs.readdirSync(config), ['TAMIRE.INI']);
  fs.rmSync(folder, { recursive: true, force: true });
});

test('bad inputs and outputs end the Node program as they end the native one', () => {
  const withSettings = (folder) => fs.copyFileSync(path.join(voice, 'TAMIRE.INI'), path.join(folder, 'config/TAMIRE.INI'));
  const fifo = (file) => execFileSync('mkfifo', [file]);
  const settings = '--config-dir=config';
  // A FIFO nobody reads as an output, a key script or the settings.
  bothEnd((folder) => { withSettings(folder); fifo(path.join(folder, 'out')); },
          [`--keys=${tour}`, settings, '--transcript=out'], 2);
  bothEnd((folder) => { withSettings(folder); fifo(path.join(folder, 'keys')); }, ['--keys=keys', settings], 2);
  bothEnd((folder) => fifo(path.join(folder, 'config/TAMIRE.INI')), [`--keys=${tour}`, settings], 0);
  // A folder as the settings, and a full device as each output.
  bothEnd((folder) => fs.mkdirSync(path.join(folder, 'config/TAMIRE.INI')), [`--keys=${tour}`, settings], 0);
  for (const output of ['--transcript', '--speech-log', '--screen-dump']) {
    bothEnd(withSettings, [`--keys=${tour}`, settings, `${output}=/dev/full`], 1);
  }
});
