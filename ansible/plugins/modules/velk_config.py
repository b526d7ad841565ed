#!/usr/bin/python
# -*- coding: utf-8 -*-
# Brings one balancer to a configuration file through velkctl: diff first, apply only when the
# diff names a call, so that "changed" means a changing call was made.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: velk_config
short_description: Bring a balancer's executor to a configuration file
description:
  - Brings the executor of one balancer to the configuration given as a file on the managed host
    (C(src)), as the file's text (C(content)) or as data (C(config)), in the format of C(velkctl save).
  - The module runs C(velkctl diff -f FILE --exit-code) and, when the executor differs from the
    file, C(velkctl apply -f FILE). velkctl reads and checks the whole file before it makes any call,
    and makes the fewest calls that bring the executor to the file.
  - In check mode it runs C(velkctl apply -f FILE --dry-run), which checks the file as C(apply) does and
    makes no changing call.
  - The task is changed exactly when velkctl made a changing call (in check mode, when it would make one).
  - With C(--diff) the task shows the calls, one a line, as C(velkctl diff) prints them
    (C(+ cluster web), C(~ port web:80 sticky-time 0 -> 60), C(- server web:80 s3)).
  - When the executor refuses a call, velkctl stops there; the task fails with velkctl's error
    sentence and returns the calls applied before it in C(applied). Running the task again carries
    on from where the executor stands.
version_added: 1.0.0
author:
  - cmnexecutor developers
extends_documentation_fragment:
  - velk.balancer.velkctl
options:
  src:
    description:
      - Path of the configuration file on the managed host (YAML or JSON, as C(velkctl save) writes it).
      - Exactly one of C(src), C(content) and C(config) is required.
    type: path
  content:
    description:
      - The configuration file's text, for example a file of the controller combined with host
        variables and rendered with C(to_nice_yaml).
      - The module writes it to a temporary file on the managed host and gives that file to velkctl.
    type: str
  config:
    description:
      - The configuration as data, the same keys as in the file, written out as JSON for velkctl.
      - Ansible hands a module's data over as JSON, whose keys are strings; where a key must stay
        a number, give the text in C(content) instead.
    type: dict
  prune:
    description:
      - Also remove what the executor holds and the configuration does not (C(velkctl apply --prune)).
      - Without it, objects the configuration leaves out are left as they are.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
seealso:
  - module: velk.balancer.velk_facts
'''

EXAMPLES = r'''
- name: Bring the balancer to the file kept beside the playbook
  velk.balancer.velk_config:
    content: "{{ lookup('ansible.builtin.file', 'files/balancer.yml') }}"
    prune: true

- name: The same with this member's own high-availability section
  velk.balancer.velk_config:
    content: "{{ lookup('ansible.builtin.file', 'files/balancer.yml') | from_yaml | combine({'ha': velk_ha}) | to_nice_yaml }}"

- name: Apply a file already on the balancer
  velk.balancer.velk_config:
    src: /etc/velk/balancer.yml

- name: One of two simulated executors on this host
  velk.balancer.velk_config:
    src: /srv/velk/balancer.yml
    device: /tmp/velk-pair/lb-b/velklb
'''

RETURN = r'''
calls:
  description:
    - The calls that bring the executor to the configuration, one a line as C(velkctl diff) prints
      them; empty when the executor holds the configuration already.
  returned: success
  type: list
  elements: str
  sample: ["~ server web:80 s1 weight 5 -> 7"]
applied:
  description: The calls velkctl reported as applied (also when the executor refused a later one).
  returned: when velkctl apply ran
  type: list
  elements: str
  sample: ["+ cluster web", "+ port web:80"]
stdout:
  description: velkctl's standard output of its last command.
  returned: always
  type: str
stderr:
  description: velkctl's standard error of its last command.
  returned: always
  type: str
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velk.balancer.plugins.module_utils.velkctl import (
    REFUSED, VELKCTL_ARGS, Velkctl, call_lines)

NO_CHANGES = 'no changes'


def config_file(module):
    """The file velkctl reads: src, else content or config (as JSON, which YAML reads) written out."""
    if module.params['src']:
        return module.params['src']
    path = os.path.join(module.tmpdir, 'velk-config.yml')
    with open(path, 'w') as out:
        if module.params['content'] is not None:
            out.write(module.params['content'])
        else:
            json.dump(module.params['config'], out, indent=2)
    return path


def main():
    module = AnsibleModule(
        argument_spec=dict(src=dict(type='path'), content=dict(type='str'), config=dict(type='dict'),
                           prune=dict(type='bool', default=False), **VELKCTL_ARGS),
        mutually_exclusive=[('src', 'content', 'config')],
        required_one_of=[('src', 'content', 'config')],
        supports_check_mode=True,
    )
    velkctl = Velkctl(module)
    source = ['-f', config_file(module)] + (['--prune'] if module.params['prune'] else [])

    if module.check_mode:
        # apply's own checks, and the calls it would make; nothing that changes the executor.
        args = ['apply'] + source + ['--dry-run']
        rc, out, err = velkctl.run(*args)
        if rc != 0:
            velkctl.fail(args, rc, out, err)
        calls = call_lines(out)
    else:
        # Status 1 without an error sentence is "the executor differs", as with git diff.
        args = ['diff'] + source + ['--exit-code']
        rc, out, err = velkctl.run(*args)
        if rc not in (0, REFUSED) or (rc == REFUSED and err.strip()):
            velkctl.fail(args, rc, out, err)
        calls = call_lines(out)

    result = dict(changed=bool(calls), calls=calls, stdout=out, stderr=err)
    if module._diff:
        result['diff'] = dict(prepared='\n'.join(calls) + '\n' if calls else '')
    if calls and not module.check_mode:
        args = ['apply'] + source
        rc, out, err = velkctl.run(*args)
        applied = call_lines(out)
        if rc != 0:
            velkctl.fail(args, rc, out, err, changed=bool(applied), calls=calls, applied=applied)
        # Another writer may have brought the executor there between diff and apply.
        result.update(changed=NO_CHANGES not in out.splitlines(), applied=applied,
                      stdout=out, stderr=err)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
