#!/usr/bin/env python3
"""Rewrites the table of original texts and their English at the end of docs/user-guide.md from
translations/parlatrix_en.ts (run from the repository root after translating a new text)."""
import html, re, sys
ts = open('translations/parlatrix_en.ts', encoding='utf-8').read()
windows = {'CMainDlg':'Main window','CNewFileDlg':'New file','CNameInputDlg':'Plot name','CLineEditDlg':'Line editor',
 'CFindDlg':'Find','CAboutBox':'About box','CLookupDlg':'ID lookup','CLanguageDlg':'Language','CStatsDlg':'Statistics','CCodePageDlg':'Code page','CDataExchange':'Input checks'}
order = list(windows)
rows = {}
for name, body in re.findall(r'<context>\s*<name>(.*?)</name>(.*?)</context>', ts, re.S):
    for src, tr in re.findall(r'<source>(.*?)</source>\s*(?:<[^>]*>\s*)*?<translation[^>]*>(.*?)</translation>', body, re.S):
        rows.setdefault(name, []).append((html.unescape(src), html.unescape(tr)))
def cell(t):
    return t.replace('|', '\\|').replace('\n', '↵')
out = ['| Window | Original | English |', '|---|---|---|']
for name in sorted(rows, key=lambda n: order.index(n) if n in order else 99):
    for src, tr in rows[name]:
        out.append('| %s | %s | %s |' % (windows.get(name, name), cell(src), cell(tr)))
guide = open('docs/user-guide.md', encoding='utf-8').read()
marker = '<!-- original-texts: generated from translations/parlatrix_en.ts -->'
guide = guide[:guide.index(marker) + len(marker)] + '\n\n' + '\n'.join(out) + '\n'
open('docs/user-guide.md', 'w', encoding='utf-8').write(guide)
