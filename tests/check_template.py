#!/usr/bin/env python3
"""The administrative template against the program: every policy's key, value name, type and
range are the ones the program reads; both files are well-formed ADMX/ADML; every string and
presentation the template names exists. Usage: check_template.py SOURCE_DIR"""
import glob
import os
import re
import sys
import xml.etree.ElementTree as ET

ADMX_NS = 'http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'
src = sys.argv[1]
ns = {'p': ADMX_NS}
admx = ET.parse(os.path.join(src, 'packaging', 'QuilmarenFilters.admx')).getroot()
adml = ET.parse(os.path.join(src, 'packaging', 'en-US', 'QuilmarenFilters.adml')).getroot()
failures = []
for root, tag in ((admx, 'policyDefinitions'), (adml, 'policyDefinitionResources')):
    if root.tag != '{%s}%s' % (ADMX_NS, tag):
        failures.append('root %s, not %s in the ADMX namespace' % (root.tag, tag))

# What the program reads: the key and names in reminder.h, the ranges in the settings store's
# table, yes-or-no values wherever PolicyAllows asks, and the first day as text.
with open(os.path.join(src, 'src', 'reminder', 'reminder.h')) as f:
    header = f.read()
names = dict(re.findall(r'#define (POLICY_\w+) "(.*)"', header))
key = names.pop('POLICY_KEY').replace('\\\\', '\\')
with open(os.path.join(src, 'src', 'reminder', 'settings.cpp')) as f:
    store = f.read()
program = {names[n]: ('decimal', int(lo), int(hi)) for n, lo, hi in
           re.findall(r'\{SETTING_\w+, (POLICY_\w+), (\d+), (\d+), \d+\}', store)}
for path in glob.glob(os.path.join(src, 'src', '*', '*.cpp')):
    with open(path) as f:
        program.update({names[n]: ('yes or no',) for n in re.findall(r'PolicyAllows\((POLICY_\w+)\)', f.read())})
if 'RRF_RT_REG_SZ, NULL, text' in store:
    program[names['POLICY_FIRST_DAY']] = ('text',)

strings = {s.get('id') for s in adml.iterfind('.//p:stringTable/p:string', ns)}
presentations = {p.get('id'): p for p in adml.iterfind('.//p:presentationTable/p:presentation', ns)}
for attribute in re.findall(r'\$\((string|presentation)\.(\w+)\)', ET.tostring(admx, encoding='unicode')):
    if attribute[1] not in (strings if attribute[0] == 'string' else presentations):
        failures.append('$(%s.%s) is not in the ADML' % attribute)
categories = {c.get('name') for c in admx.iterfind('.//p:category', ns)}
supported = {d.get('name') for d in admx.iterfind('.//p:supportedOn/p:definitions/p:definition', ns)}
template = {}
for policy in admx.iterfind('.//p:policies/p:policy', ns):
    name = policy.get('name')
    if policy.get('class') != 'Both' or policy.get('key') != key:
        failures.append('%s: class %s, key %s' % (name, policy.get('class'), policy.get('key')))
    if policy.find('p:parentCategory', ns).get('ref') not in categories or \
            policy.find('p:supportedOn', ns).get('ref') not in supported:
        failures.append('%s: its category or supported-on is not defined' % name)
    for element in policy.iterfind('p:elements/*', ns):
        kind = element.tag.split('}')[1]
        template[element.get('valueName')] = (kind, int(element.get('minValue')), int(element.get('maxValue'))) \
            if kind == 'decimal' else (kind,)
        shown = presentations.get((policy.get('presentation') or '').strip('$()').split('.')[-1])
        if shown is None or element.get('id') not in {c.get('refId') for c in shown}:
            failures.append('%s: no presentation shows %s' % (name, element.get('id')))
    values = [policy.find('p:%s/p:decimal' % v, ns) for v in ('enabledValue', 'disabledValue')]
    if all(v is not None for v in values) and [v.get('value') for v in values] == ['1', '0']:
        template[policy.get('valueName')] = ('yes or no',)
for value in sorted(set(program) | set(template)):
    if program.get(value) != template.get(value):
        failures.append('%s: the program reads %s, the template writes %s' % (value, program.get(value),
                                                                             template.get(value)))
print('\n'.join(failures) or 'the template matches the program: %s' % sorted(template))
sys.exit(1 if failures else 0)
