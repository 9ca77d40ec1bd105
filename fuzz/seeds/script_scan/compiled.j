function CreateUnitsForPlayer0 takes nothing returns nothing
    set u=CreateUnit(p, 'hwtw', - 768.0, 64.0, 270.000)
    set u=BlzCreateUnitWithSkin(p, 'ngol', 1.0, 2.0, 3.0, 'ngol')
endfunction
