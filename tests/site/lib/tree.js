// tree.js - a folder as a comparable list ("dir/" and "file:sha256"), and
// unpacking a zip with the system's unzip.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const crypto = require('node:crypto');
const { execFileSync } = require('node:child_process');

/**
 * Every folder and file below root, sorted. With insideOnly, links are
 * followed when they lead to a file inside root and left out otherwise, as the
 * site treats them; without it, links are not expected at all.
 */
function treeOf(root, { insideOnly = false } = {}) {
  const realRoot = fs.realpathSync(root);
  const out = [];
  const walk = (dir, rel) => {
    for (const name of fs.readdirSync(dir)) {
      const full = path.join(dir, name);
      const relName = rel ? `${rel}/${name}` : name;
      let st = fs.lstatSync(full);
      if (st.isSymbolicLink()) {
        if (!insideOnly) throw new Error(`unexpected link ${relName}`);
        const target = fs.realpathSync(full);
        if (!target.startsWith(realRoot + path.sep)) continue;
        st = fs.statSync(full);
        if (st.isDirectory()) continue;
      }
      if (st.isDirectory()) {
        out.push(relName + '/');
        walk(full, relName);
      } else {
        out.push(relName + ':' + crypto.createHash('sha256').update(fs.readFileSync(full)).digest('hex'));
      }
    }
  };
  walk(root, '');
  return out.sort();
}

/** Writes the archive beside dir, unpacks it into dir (UTF-8 names kept) and returns dir. */
function unzipTo(archive, dir) {
  const file = dir + '.zip';
  fs.writeFileSync(file, archive);
  execFileSync('unzip', ['-q', file, '-d', dir], { env: { ...process.env, LC_ALL: 'C.UTF-8' } });
  return dir;
}

module.exports = { treeOf, unzipTo };
