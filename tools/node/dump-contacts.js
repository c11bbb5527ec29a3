#!/usr/bin/env node
// Reads a .pst store through pst-extractor and writes down what it shows of the
// contacts, for the store tests to compare with what was written.
//
//   node dump-contacts.js STORE.pst OUTDIR
//
// Writes OUTDIR/contacts.txt (the reader talks on stdout itself), one line
// each, values as hex of their UTF-8 bytes (so that any text survives):
//   folder <hex of the path>          every folder, depth first
//   contact                           a contact item of the last folder begins
//   <ObjectModelName> <hex>           one of its non-empty fields
//   picture <file>                    an attachment, saved as OUTDIR/<file>
//   end                               the item ends
// Dates are "YYYY-MM-DD hh:mm" in UTC. Exits non-zero when the reader throws.
'use strict';

const fs = require('fs');
const path = require('path');
const { PSTFile } = require('pst-extractor');
const { PSTContact } = require('pst-extractor/dist/PSTContact.class');

// Object-model name -> how pst-extractor shows the field.
const fields = {
    FirstName: (c) => c.givenName,
    MiddleName: (c) => c.middleName,
    LastName: (c) => c.surname,
    FullName: (c) => c.displayName,
    Title: (c) => c.displayNamePrefix,
    Suffix: (c) => c.generation,
    JobTitle: (c) => c.title,
    CompanyName: (c) => c.companyName,
    Department: (c) => c.departmentName,
    OfficeLocation: (c) => c.officeLocation,
    Profession: (c) => c.profession,
    ManagerName: (c) => c.managerName,
    AssistantName: (c) => c.assistant,
    Spouse: (c) => c.spouseName,
    Body: (c) => c.body,
    BusinessTelephoneNumber: (c) => c.businessTelephoneNumber,
    BusinessFaxNumber: (c) => c.businessFaxNumber,
    HomeTelephoneNumber: (c) => c.homeTelephoneNumber,
    HomeFaxNumber: (c) => c.homeFaxNumber,
    MobileTelephoneNumber: (c) => c.mobileTelephoneNumber,
    PagerNumber: (c) => c.pagerTelephoneNumber,
    CarTelephoneNumber: (c) => c.carTelephoneNumber,
    BusinessAddress: (c) => c.workAddress,
    BusinessAddressStreet: (c) => c.workAddressStreet,
    BusinessAddressCity: (c) => c.workAddressCity,
    BusinessAddressState: (c) => c.workAddressState,
    BusinessAddressPostalCode: (c) => c.workAddressPostalCode,
    BusinessAddressCountry: (c) => c.workAddressCountry,
    HomeAddress: (c) => c.homeAddress,
    HomeAddressStreet: (c) => c.homeAddressStreet,
    HomeAddressCity: (c) => c.homeAddressCity,
    HomeAddressState: (c) => c.homeAddressStateOrProvince,
    HomeAddressPostalCode: (c) => c.homeAddressPostalCode,
    HomeAddressCountry: (c) => c.homeAddressCountry,
    Email1Address: (c) => c.email1EmailAddress,
    Email2Address: (c) => c.email2EmailAddress,
    Email3Address: (c) => c.email3EmailAddress,
    BusinessHomePage: (c) => c.businessHomePage,
    WebPage: (c) => c.html,
    IMAddress: (c) => c.instantMessagingAddress,
    Subject: (c) => c.subject,
    FileAs: (c) => c.fileUnder,
    MessageClass: (c) => c.messageClass,
    Birthday: (c) => dateText(c.birthday),
    Anniversary: (c) => dateText(c.anniversary),
    Categories: (c) => keywords(c),
    NickName: (c) => c.nickname,
    Home2TelephoneNumber: (c) => c.home2TelephoneNumber,
    Business2TelephoneNumber: (c) => c.business2TelephoneNumber,
    OtherTelephoneNumber: (c) => c.otherTelephoneNumber,
    OtherFaxNumber: (c) => c.primaryFaxNumber,
    CompanyMainTelephoneNumber: (c) => c.companyMainPhoneNumber,
    ISDNNumber: (c) => c.isdnNumber,
    RadioTelephoneNumber: (c) => c.radioTelephoneNumber,
    CallbackTelephoneNumber: (c) => c.callbackTelephoneNumber,
    TelexNumber: (c) => c.telexNumber,
    TTYTDDTelephoneNumber: (c) => c.ttytddPhoneNumber,
    AssistantTelephoneNumber: (c) => c.assistantTelephoneNumber,
    PrimaryTelephoneNumber: (c) => c.primaryTelephoneNumber,
    OtherAddress: (c) => c.otherAddress,
    OtherAddressStreet: (c) => c.otherAddressStreet,
    OtherAddressCity: (c) => c.otherAddressCity,
    OtherAddressState: (c) => c.otherAddressStateOrProvince,
    OtherAddressPostalCode: (c) => c.otherAddressPostalCode,
    // (the reader's own getter reads the city's tag)
    OtherAddressCountry: (c) => c.getStringItem(0x3a60),
    PersonalHomePage: (c) => c.personalHomePage,
    Children: (c) => textList(c, 0x3a58),
};

function dateText(d) {
    return d ? d.toISOString().slice(0, 16).replace('T', ' ') : '';
}

// PS_PUBLIC_STRINGS "Keywords", multi-valued string: count u32, offsets u32
// each, UTF-16LE strings. Read from the item's raw value, because the
// reader's own category getter expects another layout.
function keywords(c) {
    return textList(c, PSTFile.getPublicStringToIdMapItem('Keywords'));
}

// A multi-valued string property by its id, its items joined by ", ".
function textList(c, id) {
    const item = id !== undefined && c.pstTableItems ? c.pstTableItems.get(id) : undefined;
    if (!item || !item.data || item.data.length < 4) return '';
    const d = item.data;
    const n = d.readUInt32LE(0);
    const out = [];
    for (let i = 0; i < n; i++) {
        const start = d.readUInt32LE(4 + 4 * i);
        const end = i + 1 < n ? d.readUInt32LE(8 + 4 * i) : d.length;
        out.push(d.subarray(start, end).toString('utf16le'));
    }
    return out.join(', ');
}

function hex(text) {
    return Buffer.from(String(text), 'utf8').toString('hex');
}

function attachmentBytes(att) {
    const stream = att.fileInputStream;
    if (!stream) return Buffer.alloc(0);
    const size = Number(stream.length.toString());
    const out = Buffer.alloc(size);
    if (size > 0) stream.readCompletely(out);
    return out;
}

function main() {
    const [storePath, outDir] = process.argv.slice(2);
    if (!storePath || !outDir) {
        process.stderr.write('usage: dump-contacts.js STORE.pst OUTDIR\n');
        process.exit(2);
    }
    fs.mkdirSync(outDir, { recursive: true });
    const lines = [];
    const store = new PSTFile(path.resolve(storePath));
    let pictures = 0;
    const walk = (folder, where) => {
        lines.push('folder ' + hex(where));
        if (folder.contentCount > 0) {
            for (let item = folder.getNextChild(); item; item = folder.getNextChild()) {
                if (!(item instanceof PSTContact)) continue;
                lines.push('contact');
                for (const [name, get] of Object.entries(fields)) {
                    const value = get(item);
                    if (value !== undefined && value !== null && value !== '')
                        lines.push(name + ' ' + hex(value));
                }
                for (let i = 0; i < item.numberOfAttachments; i++) {
                    const file = 'picture-' + ++pictures;
                    fs.writeFileSync(path.join(outDir, file), attachmentBytes(item.getAttachment(i)));
                    lines.push('picture ' + file);
                }
                lines.push('end');
            }
        }
        if (folder.hasSubfolders)
            for (const child of folder.getSubFolders())
                walk(child, where + '/' + child.displayName);
    };
    walk(store.getRootFolder(), '');
    store.close();
    fs.writeFileSync(path.join(outDir, 'contacts.txt'), lines.join('\n') + '\n');
}

main();
