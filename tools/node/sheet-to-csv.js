// Reads workbooks with SheetJS, an independent reader, for the tests:
//   node sheet-to-csv.js OUTDIR WORKBOOK...
// writes OUTDIR/<name>.csv for each workbook: its first sheet, comma-separated,
// quoted where needed, every cell as the reader shows it.
'use strict';
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');

const [outDir, ...workbooks] = process.argv.slice(2);
for (const file of workbooks) {
    // raw: texts of a .csv stay texts (a date-like one is not reparsed).
    const book = XLSX.readFile(file, { raw: true });
    const sheet = book.Sheets[book.SheetNames[0]];
    const csv = XLSX.utils.sheet_to_csv(sheet, { FS: ',', RS: '\n', blankrows: true });
    fs.writeFileSync(path.join(outDir, path.parse(file).name + '.csv'), csv + '\n');
}
