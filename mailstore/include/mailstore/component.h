#pragma once
// The base of every object the program creates by ProgID ("Redemption.RDOSession",
// "Outlook.Application"). The program reaches members only through the interfaces of
// mailstore/rdo.h and mailstore/mail_client.h, so tests can hand it failing doubles.
namespace zentra::mailstore {

class Component {
public:
    virtual ~Component() = default;
};

}  // namespace zentra::mailstore
