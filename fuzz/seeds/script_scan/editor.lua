--   Date: Tue Jun 18 22:58:04 2019
function Unit000006_DropItems()
    if (trigUnit ~= nil) then
        UnitDropItem(trigUnit, itemID)
    end
end

function CreateUnitsForPlayer0()
    local p = Player(0)
    u = BlzCreateUnitWithSkin(p, FourCC("hfoo"), 1.0, 2.0, 90.0, FourCC("hfoo"))
    u = CreateUnit(p, FourCC("hfoo"), 1.0, 2.0, 90.0)
end

function CreateNeutralHostile()
u = BlzCreateUnitWithSkin(p, FourCC("nfor"), 10.0, 20.0, 270.000, FourCC("nfor"))
end

function CreateNeutralPassiveBuildings()
    u = BlzCreateUnitWithSkin(p, FourCC("ngol"), -512.0, 256.0, 270.000, FourCC("ngol"))
    SetResourceAmount(u, 12500)
end

function CreateNeutralPassive()
    u = BlzCreateUnitWithSkin(p, FourCC("nshe"), 1.0, 2.0, 3.0, FourCC("nshe"))
end
