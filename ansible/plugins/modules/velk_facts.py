#!/usr/bin/python
# -*- coding: utf-8 -*-
# A balancer's saved configuration as facts, and whether its executor answers.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: velk_facts
short_description: Read a balancer's configuration as facts
description:
  - Runs C(velkctl save --format json) on the managed host and returns the configuration the
    executor holds as the fact C(velk_config), in the format that M(velk.balancer.velk_config) applies.
  - Sets the fact C(velk_up) to C(true) when the executor answered and to C(false) when velkctl
    could not reach it; an unreachable executor does not fail the task.
version_added: 1.0.0
author:
  - cmnexecutor developers
extends_documentation_fragment:
  - velk.balancer.velkctl
options: {}
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  facts:
    support: full
seealso:
  - module: velk.balancer.velk_config
'''

EXAMPLES = r'''
- name: Read the balancer's configuration
  velk.balancer.velk_facts:

- name: Both members of the pair hold the same clusters
  ansible.builtin.assert:
    that: hostvars['lb-a'].velk_config.clusters == hostvars['lb-b'].velk_config.clusters
'''

RETURN = r'''
ansible_facts:
  description: The balancer's facts.
  returned: always
  type: complex
  contains:
    velk_up:
      description: Whether the executor answered.
      returned: always
      type: bool
      sample: true
    velk_config:
      description:
        - The configuration the executor holds, as C(velkctl save --format json) writes it;
          empty when the executor did not answer.
      returned: always
      type: dict
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velk.balancer.plugins.module_utils.velkctl import (
    UNREACHABLE, VELKCTL_ARGS, Velkctl)


def main():
    module = AnsibleModule(argument_spec=dict(**VELKCTL_ARGS), supports_check_mode=True)
    velkctl = Velkctl(module)
    # A file of its own, so that nothing else velkctl prints can mix into the JSON.
    path = os.path.join(module.tmpdir, 'velk-saved.json')
    args = ['save', '--format', 'json', '-o', path]
    rc, out, err = velkctl.run(*args)
    if rc == UNREACHABLE:
        module.exit_json(changed=False, ansible_facts=dict(velk_up=False, velk_config={}),
                         msg=err.strip())
    if rc != 0:
        velkctl.fail(args, rc, out, err)
    with open(path) as saved:
        config = json.load(saved)
    module.exit_json(changed=False, ansible_facts=dict(velk_up=True, velk_config=config))


if __name__ == '__main__':
    main()
