// Validates glTF and GLB files with the Khronos glTF-Validator (installed by
// scripts/deps.sh into build/node). Prints one line per file with its error,
// warning and info counts and every error and warning; exits 1 when any file
// has an error or a warning.
const fs = require('fs');
const path = require('path');
const validator = require(process.env.GLTF_VALIDATOR || 'gltf-validator');

async function check(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const folder = path.dirname(file);
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 100,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        fs.readFile(path.join(folder, decodeURIComponent(uri)), (err, data) =>
          err ? reject(err.toString()) : resolve(new Uint8Array(data)));
      }),
  });
  const i = report.issues;
  console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos`);
  for (const m of i.messages)
    if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
  return i.numErrors + i.numWarnings;
}

(async () => {
  let bad = 0;
  for (const file of process.argv.slice(2)) bad += await check(file);
  process.exit(bad ? 1 : 0);
})().catch((e) => { console.error(String(e)); process.exit(2); });
