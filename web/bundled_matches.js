// bundled_matches.js: records the bundled matches with the WebAssembly engine for the site (matches/NAME.replay)
// and prints each one's link length. Usage: node bundled_matches.js fusewick.js REPO_DIR OUT_DIR
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const [moduleFile, root, outDir] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(root, name), 'utf8');
const teams = ['teams/hulks.fpl', 'teams/raiders.fpl', 'teams/sappers.fpl', 'teams/ghosts.fpl'];
const matches = [
  {name: 'default', map: 'default.map', teams: ['default.fpl', 'default.fpl', 'default.fpl', 'default.fpl']},
  ...fs.readdirSync(path.join(root, 'maps')).filter((f) => f.endsWith('.map')).sort()
      .map((f) => ({name: f.replace(/\.map$/, ''), map: 'maps/' + f, teams})),
];

require(path.resolve(moduleFile))({print() {}, printErr() {}}).then((m) => {
  for (const match of matches) {
    const request = {map: read(match.map), teams: match.teams.map(read), names: [match.map, ...match.teams]};
    const answer = JSON.parse(m.ccall('fw_record', 'string', ['string'], [JSON.stringify(request)]));
    if (answer.error) throw new Error(match.name + ': ' + answer.error);
    fs.writeFileSync(path.join(outDir, match.name + '.replay'), answer.replay);
    const link = zlib.deflateRawSync(Buffer.from(answer.replay), {level: 9}).toString('base64url');
    console.log(`${match.name}: ${answer.ticks} ticks, replay ${answer.replay.length} bytes, link data ${link.length} characters`);
  }
});
